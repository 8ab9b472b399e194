// Control numbers of the main setup window (also used by the test driver
// that finds them with GetDlgItem). OK and Cancel are 1 and 2.
#pragma once

namespace setup_ids {
inline constexpr int Image1 = 100;
inline constexpr int Shape1 = 101;
inline constexpr int Label1 = 102;
inline constexpr int radAll = 103;
inline constexpr int btnAll = 104;
inline constexpr int Label5 = 105;
inline constexpr int radServer = 106;
inline constexpr int btnServer = 107;
inline constexpr int Label6 = 108;
inline constexpr int radServers = 109;
inline constexpr int Label7 = 110;
inline constexpr int btnServer1 = 111;
inline constexpr int Label8 = 112;
inline constexpr int btnServer2 = 113;
inline constexpr int radClient = 114;
inline constexpr int btnClient = 115;
inline constexpr int Label9 = 116;
inline constexpr int Label3 = 117;
inline constexpr int comboLang = 118;
}  // namespace setup_ids
