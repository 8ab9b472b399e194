#include "common/utf.h"

namespace utf {

namespace {
constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}
}  // namespace

std::u16string ToUtf16(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n) {
    unsigned char b = p[i];
    char32_t c;
    int extra;
    char32_t min;
    if (b < 0x80) { c = b; extra = 0; min = 0; }
    else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; extra = 1; min = 0x80; }
    else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; extra = 2; min = 0x800; }
    else if ((b & 0xF8) == 0xF0) { c = b & 0x07; extra = 3; min = 0x10000; }
    else { out += static_cast<char16_t>(kReplacement); ++i; continue; }
    std::size_t j = 1;
    for (; j <= static_cast<std::size_t>(extra); ++j) {
      if (i + j >= n || (p[i + j] & 0xC0) != 0x80) break;
      c = (c << 6) | (p[i + j] & 0x3F);
    }
    if (j <= static_cast<std::size_t>(extra)) {  // sequence cut short
      out += static_cast<char16_t>(kReplacement);
      i += j;
      continue;
    }
    i += j;
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string FromUtf16(const std::u16string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::vector<std::uint8_t> ToRegSz(const std::string& s) {
  std::u16string w = ToUtf16(s);
  std::vector<std::uint8_t> out;
  out.reserve((w.size() + 1) * 2);
  for (char16_t c : w) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

std::string FromRegBytes(const std::uint8_t* data, std::size_t size) {
  std::u16string w;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (c == 0) break;
    w += c;
  }
  return FromUtf16(w);
}

}  // namespace utf
