// Control numbers of the check dialog (also used by the test driver that
// finds them with GetDlgItem). OK and Cancel are 1 and 2.
#pragma once

namespace check_ids {
inline constexpr int labDB1 = 200;
inline constexpr int labDB2 = 201;
inline constexpr int labIIS1 = 202;
inline constexpr int labIIS2 = 203;
inline constexpr int labExcel1 = 204;
inline constexpr int labExcel2 = 205;
inline constexpr int imgDB = 206;
inline constexpr int imgIIS = 207;
inline constexpr int imgExcel = 208;
inline constexpr int imgDB_NO = 209;
inline constexpr int imgIIS_NO = 210;
inline constexpr int imgExcel_NO = 211;
}  // namespace check_ids
