// UTF-8 <-> UTF-16LE conversions for data that crosses into Windows' form
// (registry values are stored as UTF-16LE bytes).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace utf {

// UTF-8 to UTF-16 code units. Malformed bytes become U+FFFD.
std::u16string ToUtf16(const std::string& s);
// UTF-16 code units to UTF-8. Unpaired surrogates become U+FFFD.
std::string FromUtf16(const std::u16string& s);

// Registry text form: UTF-16LE bytes followed by one terminating NUL
// ((length + 1) * 2 bytes).
std::vector<std::uint8_t> ToRegSz(const std::string& s);
// Reads UTF-16LE bytes as text, stopping at the first NUL code unit; an odd
// trailing byte is ignored.
std::string FromRegBytes(const std::uint8_t* data, std::size_t size);

}  // namespace utf
