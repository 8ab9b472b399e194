#include "launcher/DataPacket.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

#include "common/errors.h"
#include "common/utf.h"
#include "platform/system.h"

namespace {

constexpr std::uint32_t kMagic = 0xBDE01996u;
constexpr std::uint32_t kOldMagic = 0x0000ABCDu;
constexpr std::size_t kHeaderSize = 24;

// type word bits
constexpr std::uint32_t kSizeMask = 0x0000FFFFu;
constexpr std::uint32_t kVarying = 0x00400000u;
constexpr std::uint32_t kArray = 0x00800000u;
constexpr std::uint32_t kComposite = 0x07000000u;  // pseudo field, compressed array, nested table

// row status bits that hide a row: original (superseded), deleted, unused
constexpr std::uint8_t kHidden = 0x23;

[[noreturn]] void Bad(const std::string& detail) {
  throw EAppError("Invalid data packet: " + detail);
}

// snprintf; on Windows the one of the system's msvcrt.dll, so that mingw's
// own copy of the printf family (some 40 KB) stays out of the executables.
template <class... A>
void Format(char* buf, std::size_t size, const char* format, A... args) {
#ifdef _WIN32
  _snprintf(buf, size - 1, format, args...);
  buf[size - 1] = '\0';
#else
  std::snprintf(buf, size, format, args...);
#endif
}

std::string Hex(std::uint32_t v, int digits = 8) {
  char b[16];
  Format(b, sizeof b, "0x%0*X", digits, v);
  return b;
}

std::uint64_t LoadLE(const std::uint8_t* p, std::size_t n) {
  std::uint64_t v = 0;
  for (std::size_t i = n; i-- > 0;) v = v << 8 | p[i];
  return v;
}

// Bounds-checked reading through the packet. `what` names the item read,
// for the message; it is a text or a callable that makes one, so that
// nothing is built unless the packet is cut off.
class Cursor {
 public:
  Cursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t Pos() const { return pos_; }
  std::size_t Left() const { return size_ - pos_; }
  void Seek(std::size_t pos) { pos_ = pos; }

  template <class What>
  const std::uint8_t* Take(std::uint64_t n, const What& what) {
    if (n > Left()) CutOff(n, Describe(what));
    const std::uint8_t* p = data_ + pos_;
    pos_ += static_cast<std::size_t>(n);
    return p;
  }
  template <class What>
  std::uint64_t Uint(std::size_t n, const What& what) { return LoadLE(Take(n, what), n); }
  template <class What>
  std::uint8_t U8(const What& what) { return *Take(1, what); }
  template <class What>
  std::uint16_t U16(const What& what) { return static_cast<std::uint16_t>(Uint(2, what)); }
  template <class What>
  std::uint32_t U32(const What& what) { return static_cast<std::uint32_t>(Uint(4, what)); }

 private:
  static std::string Describe(const char* what) { return what; }
  template <class F>
  static std::string Describe(const F& what) { return what(); }

  [[noreturn]] void CutOff(std::uint64_t n, const std::string& what) const {
    Bad("the packet is cut off in " + what + " at offset " + std::to_string(pos_) + " (" +
        std::to_string(n) + " bytes needed, " + std::to_string(Left()) + " left)");
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

bool ValidUtf8(const std::string& s) {
  return utf::FromUtf16(utf::ToUtf16(s)) == s;
}

// Field and parameter names: UTF-8 from Unicode-era writers, the ANSI code
// page from older ones.
std::string DecodeName(const std::uint8_t* p, std::size_t n) {
  std::string s(reinterpret_cast<const char*>(p), n);
  return ValidUtf8(s) ? s : plat::sys().AnsiToUtf8(s, 0);
}

// Case folding for field names: ASCII, Latin-1, Greek, Cyrillic and the
// full-width Latin letters, which covers the names writers produce.
std::u16string FoldName(const std::string& name) {
  std::u16string w = utf::ToUtf16(name);
  for (char16_t& c : w) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F) ||
        (c >= 0xFF21 && c <= 0xFF3A)) {
      c = static_cast<char16_t>(c + 0x20);
    } else if (c >= 0x400 && c <= 0x40F) {
      c = static_cast<char16_t>(c + 0x50);
    }
  }
  return w;
}

std::string KindName(FieldKind k) {
  switch (k) {
    case FieldKind::Int: return "INT";
    case FieldKind::UInt: return "UINT";
    case FieldKind::Bool: return "BOOL";
    case FieldKind::Float: return "FLOATIEEE";
    case FieldKind::Bcd: return "BCD";
    case FieldKind::Date: return "DATE";
    case FieldKind::Time: return "TIME";
    case FieldKind::Timestamp: return "TIMESTAMP";
    case FieldKind::ZString: return "ZSTRING";
    case FieldKind::Unicode: return "UNICODE";
    case FieldKind::Bytes: return "BYTES";
    case FieldKind::Adt: return "ADT";
    case FieldKind::Array: return "ARRAY";
    case FieldKind::EmbeddedTable: return "nested table";
    case FieldKind::DateTime: return "SQL timestamp";
    case FieldKind::FmtBcd: return "FMTBCD";
    case FieldKind::Single: return "SINGLE";
    case FieldKind::DateTimeOffset: return "SQL timestamp with offset";
    default: return "kind " + std::to_string(static_cast<int>(k));
  }
}

// Checks that a field's type word gives every value a knowable length and a
// width its kind can have.
void CheckFieldType(const std::string& name, std::uint32_t type) {
  const auto kind = static_cast<FieldKind>((type >> 16) & 0x3F);
  const std::uint32_t size = type & kSizeMask;
  const std::string where = "field '" + name + "' (type " + Hex(type) + ")";
  if ((type & kComposite) || kind == FieldKind::Adt || kind == FieldKind::Array ||
      kind == FieldKind::EmbeddedTable) {
    Bad(where + " is a composite " + KindName(kind) + " field, which is not supported");
  }
  if (type & kArray) Bad(where + " has the array flag, which only parameters may have");
  if (type & kVarying) {
    if (size != 1 && size != 2 && size != 4)
      Bad(where + " has a length prefix of " + std::to_string(size) + " bytes");
  }
  auto fixed = [&](std::initializer_list<std::uint32_t> sizes) {
    if (type & kVarying) Bad(where + ": " + KindName(kind) + " values cannot vary in length");
    for (std::uint32_t s : sizes)
      if (s == size) return;
    Bad(where + ": " + KindName(kind) + " values of " + std::to_string(size) +
        " bytes are not valid");
  };
  switch (kind) {
    case FieldKind::Int:
    case FieldKind::UInt: fixed({1, 2, 4, 8}); break;
    case FieldKind::Bool: fixed({1, 2, 4}); break;
    case FieldKind::Float: fixed({8, 10}); break;
    case FieldKind::Date:
    case FieldKind::Time:
    case FieldKind::Single: fixed({4}); break;
    case FieldKind::Timestamp: fixed({8}); break;
    case FieldKind::DateTime: fixed({16}); break;
    case FieldKind::DateTimeOffset: fixed({20}); break;
    case FieldKind::Bcd:
    case FieldKind::FmtBcd:
      if (type & kVarying) Bad(where + ": BCD values cannot vary in length");
      if (size < 2 || size > 34)
        Bad(where + ": BCD values of " + std::to_string(size) + " bytes are not valid");
      break;
    default: break;
  }
}

struct Param {
  std::string name;
  std::uint32_t type = 0;
  const std::uint8_t* value = nullptr;  // the value bytes after any prefix or count
  std::size_t size = 0;
  std::uint32_t count = 0;  // elements of an array param
};

// Reads one parameter, skipping its value by the type word alone.
Param ReadParam(Cursor& c, const std::string& owner) {
  Param p;
  const std::uint8_t n = c.U8([&] { return std::string("a parameter name length of ") + owner; });
  p.name = DecodeName(c.Take(n, [&] { return std::string("a parameter name of ") + owner; }), n);
  const std::string what = "parameter '" + p.name + "' of " + owner;
  p.type = c.U32([&] { return std::string("the type of ") + what; });
  const std::uint32_t size = p.type & kSizeMask;
  if (p.type & kArray) {
    p.count = c.U32([&] { return std::string("the element count of ") + what; });
    const std::uint64_t total = std::uint64_t{p.count} * size;
    p.value = c.Take(total, [&] { return std::string("the value of ") + what; });
    p.size = static_cast<std::size_t>(total);
  } else if (p.type & kVarying) {
    if (size != 1 && size != 2 && size != 4)
      Bad(what + " has a length prefix of " + std::to_string(size) + " bytes");
    const std::uint64_t len = c.Uint(size, [&] { return std::string("the length of ") + what; });
    p.value = c.Take(len, [&] { return std::string("the value of ") + what; });
    p.size = static_cast<std::size_t>(len);
  } else {
    p.value = c.Take(size, [&] { return std::string("the value of ") + what; });
    p.size = size;
  }
  return p;
}

std::string ParamText(const Param& p) {
  std::string s(reinterpret_cast<const char*>(p.value), p.size);
  const auto zero = s.find('\0');
  if (zero != std::string::npos) s.resize(zero);
  return s;
}

// One cell of a row: code 0 = value present, 1 = NULL, 2 = not changed.
struct Cell {
  std::uint8_t code = 0;
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  bool notFetched = false;
};

struct Layout {
  std::vector<std::uint32_t> types;
  std::vector<std::string> names;
};

std::uint8_t ReadRow(Cursor& c, const Layout& layout, std::uint32_t row,
                     std::vector<Cell>* cells) {
  const auto where = [row] { return "row " + std::to_string(row); };
  const std::uint8_t status = c.U8([&] { return "the status of " + where(); });
  const std::size_t fields = layout.types.size();
  const std::uint8_t* blanks = c.Take((fields + 3) / 4, [&] { return "the blank flags of " + where(); });
  if (cells) cells->assign(fields, Cell{});
  for (std::size_t i = 0; i < fields; ++i) {
    const std::uint8_t code = (blanks[i / 4] >> (2 * (i % 4))) & 3;
    if (cells) (*cells)[i].code = code;
    if (code != 0) continue;
    const std::uint32_t type = layout.types[i];
    const std::uint32_t size = type & kSizeMask;
    const auto what = [&] { return "field '" + layout.names[i] + "' of " + where(); };
    Cell cell;
    if (type & kVarying) {
      std::uint64_t len = c.Uint(size, [&] { return "the length of " + what(); });
      if (size == 4 && (len & 0x80000000u)) {
        cell.notFetched = true;  // delayed blob: no content follows
        len = 0;
      }
      cell.data = c.Take(len, [&] { return "the value of " + what(); });
      cell.size = static_cast<std::size_t>(len);
    } else {
      cell.data = c.Take(size, [&] { return "the value of " + what(); });
      cell.size = size;
    }
    if (cells) (*cells)[i] = cell;
  }
  return status;
}

// --- values as text ----------------------------------------------------------

// FloatToStr: general format with `precision` significant digits; fixed
// notation while the decimal exponent lies in -3..precision.
std::string FormatFloat(double v, int precision) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  if (v == 0) return "0";
  char buf[64];
  Format(buf, sizeof buf, "%.*e", precision - 1, v);
  // buf: [-]d.ddddde[+-]xx
  std::string s(buf);
  const bool neg = s[0] == '-';
  if (neg) s.erase(0, 1);
  const auto e = s.find('e');
  const int exp10 = std::atoi(s.c_str() + e + 1);
  std::string digits = s.substr(0, 1) + s.substr(2, e - 2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int x = exp10 + 1;  // value = 0.digits * 10^x
  std::string out = neg ? "-" : "";
  if (x > precision || x < -3) {
    out += digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += "E" + std::to_string(exp10);
  } else if (x <= 0) {
    out += "0." + std::string(static_cast<std::size_t>(-x), '0') + digits;
  } else if (static_cast<std::size_t>(x) >= digits.size()) {
    out += digits + std::string(static_cast<std::size_t>(x) - digits.size(), '0');
  } else {
    out += digits.substr(0, static_cast<std::size_t>(x)) + "." +
           digits.substr(static_cast<std::size_t>(x));
  }
  return out;
}

// 80-bit extended to double.
double Extended(const std::uint8_t* p) {
  const std::uint64_t mant = LoadLE(p, 8);
  const int se = static_cast<int>(LoadLE(p + 8, 2));
  const bool neg = se & 0x8000;
  const int exp = se & 0x7FFF;
  double v;
  if (exp == 0x7FFF) {
    v = (mant << 1) ? NAN : INFINITY;
  } else {
    v = std::ldexp(static_cast<double>(mant), exp - 16383 - 63);
  }
  return neg ? -v : v;
}

std::string BcdText(const std::string& field, const std::uint8_t* p, std::size_t n) {
  const unsigned precision = p[0];
  const unsigned places = p[1] & 0x3F;
  const bool neg = p[1] & 0x80;
  if (precision > 2 * (n - 2) || places > precision)
    throw EAppError("Field '" + field + "' holds an invalid BCD value");
  std::string digits;
  for (unsigned i = 0; i < precision; ++i) {
    const unsigned d = i % 2 == 0 ? p[2 + i / 2] >> 4 : p[2 + i / 2] & 0x0F;
    if (d > 9) throw EAppError("Field '" + field + "' holds an invalid BCD value");
    digits += static_cast<char>('0' + d);
  }
  std::string whole = digits.substr(0, precision - places);
  std::string frac = digits.substr(precision - places);
  whole.erase(0, whole.find_first_not_of('0'));
  if (whole.empty()) whole = "0";
  while (!frac.empty() && frac.back() == '0') frac.pop_back();
  std::string out = whole + (frac.empty() ? "" : "." + frac);
  return neg && out != "0" ? "-" + out : out;
}

// Proleptic Gregorian date of a day number where 0001-01-01 is day 1.
void CivilFromOrdinal(std::int64_t ordinal, int& y, unsigned& m, unsigned& d) {
  std::int64_t z = ordinal - 1 - 719162 + 719468;  // days since 0000-03-01
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

constexpr std::int64_t kMaxOrdinal = 3652059;  // 9999-12-31
constexpr std::int64_t kMsPerDay = 86400000;

std::string DateText(std::int64_t ordinal) {
  int y;
  unsigned m, d;
  CivilFromOrdinal(ordinal, y, m, d);
  char b[32];
  Format(b, sizeof b, "%04d-%02u-%02u", y, m, d);
  return b;
}

std::string TimeText(std::int64_t ms) {
  char b[32];
  const auto s = ms / 1000;
  Format(b, sizeof b, "%02d:%02d:%02d", static_cast<int>(s / 3600),
                static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
  return b;
}

}  // namespace

// ------------------------------------------------------------------ DataField

bool DataField::IsBlob() const {
  return Kind() == FieldKind::Bytes && (type_ & kVarying) && (type_ & kSizeMask) == 4;
}

std::vector<std::uint8_t> DataField::BlobBytes() const {
  if (notFetched_)
    throw EAppError("Field '" + name_ + "': the blob's content is not in the data packet");
  return value_ ? *value_ : std::vector<std::uint8_t>{};
}

std::string DataField::AsString() const {
  if (notFetched_)
    throw EAppError("Field '" + name_ + "': the blob's content is not in the data packet");
  if (!value_) return "";
  const std::vector<std::uint8_t>& v = *value_;
  const std::uint8_t* p = v.data();
  const std::size_t n = v.size();
  auto ansi = [&](bool toNul) {
    std::string s(reinterpret_cast<const char*>(p), n);
    if (toNul) {
      const auto zero = s.find('\0');
      if (zero != std::string::npos) s.resize(zero);
    }
    return s.empty() ? s : plat::sys().AnsiToUtf8(s, 0);
  };
  auto invalid = [&](const char* what) -> std::string {
    throw EAppError("Field '" + name_ + "' holds an invalid " + what);
  };
  switch (Kind()) {
    case FieldKind::Int: {
      std::int64_t x = static_cast<std::int64_t>(LoadLE(p, n));
      if (n < 8) {  // sign-extend
        const unsigned shift = static_cast<unsigned>(64 - 8 * n);
        x = static_cast<std::int64_t>(static_cast<std::uint64_t>(x) << shift) >> shift;
      }
      return std::to_string(x);
    }
    case FieldKind::UInt: return std::to_string(LoadLE(p, n));
    case FieldKind::Bool: return LoadLE(p, n) ? "True" : "False";
    case FieldKind::Float: {
      double d;
      if (n == 8) {
        std::uint64_t bits = LoadLE(p, 8);
        std::memcpy(&d, &bits, 8);
      } else {
        d = Extended(p);
      }
      return FormatFloat(d, 15);
    }
    case FieldKind::Single: {
      const auto bits = static_cast<std::uint32_t>(LoadLE(p, 4));
      float f;
      std::memcpy(&f, &bits, 4);
      return FormatFloat(f, 7);
    }
    case FieldKind::Bcd:
    case FieldKind::FmtBcd: return BcdText(name_, p, n);
    case FieldKind::Date: {
      const auto day = static_cast<std::int32_t>(LoadLE(p, 4));
      if (day < 1 || day > kMaxOrdinal) invalid("date");
      return DateText(day);
    }
    case FieldKind::Time: {
      const auto ms = static_cast<std::int32_t>(LoadLE(p, 4));
      if (ms < 0 || ms >= kMsPerDay) invalid("time");
      return TimeText(ms);
    }
    case FieldKind::Timestamp: {
      const std::uint64_t bits = LoadLE(p, 8);
      double d;
      std::memcpy(&d, &bits, 8);
      d -= kMsPerDay;
      if (!(d >= 0 && d < static_cast<double>(kMaxOrdinal) * kMsPerDay)) invalid("timestamp");
      const auto ms = static_cast<std::int64_t>(std::llround(d));
      const std::int64_t days = ms / kMsPerDay, rest = ms % kMsPerDay;
      return rest == 0 ? DateText(days + 1) : DateText(days + 1) + " " + TimeText(rest);
    }
    case FieldKind::DateTime:
    case FieldKind::DateTimeOffset: {
      const auto f = [&](int i) { return static_cast<int>(LoadLE(p + 2 * i, 2)); };
      char b[64];
      Format(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d",
                    static_cast<std::int16_t>(f(0)), f(1), f(2), f(3), f(4), f(5));
      std::string s = b;
      if (Kind() == FieldKind::DateTimeOffset) {
        const auto h = static_cast<std::int16_t>(f(8)), m = static_cast<std::int16_t>(f(9));
        Format(b, sizeof b, " %c%02d:%02d", h < 0 || m < 0 ? '-' : '+', std::abs(h),
                      std::abs(m));
        s += b;
      }
      return s;
    }
    case FieldKind::ZString: return ansi(true);
    case FieldKind::Unicode: return utf::FromRegBytes(p, n);
    default:
      if (subtype_ == "WideText") return utf::FromRegBytes(p, n);
      return ansi(false);
  }
}

// ------------------------------------------------------------------ DataPacket

DataPacket DataPacket::Parse(const std::vector<std::uint8_t>& bytes) {
  return Parse(bytes.data(), bytes.size());
}

DataPacket DataPacket::Parse(const std::uint8_t* data, std::size_t size) {
  static const std::uint8_t kEmpty = 0;
  if (!data) data = &kEmpty, size = 0;
  if (size >= 1 && data[0] == '<')
    Bad("the packet is in XML form; only the binary form is read");
  if (size < kHeaderSize)
    Bad("only " + std::to_string(size) + " bytes, too short for the 24-byte header");

  Cursor c(data, size);
  DataPacket pk;
  const std::uint32_t magic = c.U32("the header");
  if (magic != kMagic && magic != kOldMagic)
    Bad("wrong magic number " + Hex(magic) + " (not a client dataset data packet)");
  pk.major_ = c.U16("the header");
  c.U16("the header");  // minor version
  const std::uint32_t headerSize = c.U32("the header");
  const std::uint16_t columns = c.U16("the header");
  pk.rowCount_ = c.U32("the header");
  const std::uint32_t flags = c.U32("the header");
  const std::uint16_t dataOffset = c.U16("the header");
  if (pk.major_ > 3) Bad("version " + std::to_string(pk.major_) + " is not supported");
  if (!(flags & 1)) Bad("the packet has no field descriptions (flags " + Hex(flags) + ")");
  if (flags & 0x8000) Bad("the packet has an XML body (flags " + Hex(flags) + ")");
  if (headerSize < kHeaderSize || headerSize > size)
    Bad("the field descriptions start at " + std::to_string(headerSize) + ", outside 24.." +
        std::to_string(size));
  c.Seek(headerSize);

  // Field descriptors and their params.
  Layout layout;
  std::map<std::uint32_t, std::uint32_t> previous;  // change log: row -> earlier version
  for (std::uint32_t i = 0; i < columns; ++i) {
    const std::string what = "field " + std::to_string(i + 1) + " of " + std::to_string(columns);
    const std::uint8_t n = c.U8([&] { return std::string("the name length of ") + what; });
    if (n == 0) Bad(what + " has an empty name");
    DataField f;
    f.name_ = DecodeName(c.Take(n, [&] { return std::string("the name of ") + what; }), n);
    f.type_ = c.U32([&] { return std::string("the type of field '") + f.name_ + "'"; });
    f.attributes_ = c.U16([&] { return std::string("the attributes of field '") + f.name_ + "'"; });
    const std::uint16_t params = c.U16([&] { return std::string("the parameter count of field '") + f.name_ + "'"; });
    const std::string owner = "field '" + f.name_ + "'";
    for (std::uint32_t j = 0; j < params; ++j) {
      const Param p = ReadParam(c, owner);
      const std::uint32_t kind = (p.type >> 16) & 0x3F;
      if (p.name == "WIDTH" && !(p.type & (kVarying | kArray)) && (kind == 1 || kind == 2) &&
          p.size >= 1 && p.size <= 4) {
        f.width_ = static_cast<std::uint32_t>(LoadLE(p.value, p.size));
      } else if (p.name == "SUBTYPE" && kind == 9) {
        f.subtype_ = ParamText(p);
      } else if (p.name == "FIELDNAME" && (kind == 9 || kind == 10) && p.size > 0) {
        f.name_ = kind == 9 ? DecodeName(p.value, ParamText(p).size())
                            : utf::FromRegBytes(p.value, p.size);
      }
    }
    CheckFieldType(f.name_, f.type_);
    layout.types.push_back(f.type_);
    layout.names.push_back(f.name_);
    pk.fields_.push_back(std::move(f));
  }
  const std::uint16_t packetParams = c.U16("the packet parameter count");
  for (std::uint32_t j = 0; j < packetParams; ++j) {
    const Param p = ReadParam(c, "the packet");
    const std::uint32_t kind = (p.type >> 16) & 0x3F;
    if (p.name == "LCID" && kind == 1 && p.size == 4 && !(p.type & (kVarying | kArray))) {
      pk.lcid_ = static_cast<std::int32_t>(LoadLE(p.value, 4));
    } else if (p.name == "CHANGE_LOG" && (p.type & kArray)) {
      const std::uint32_t width = p.type & kSizeMask;
      if (width != 4 || p.count % 3 != 0)
        Bad("the change log is not a list of row triples (type " + Hex(p.type) + ", " +
            std::to_string(p.count) + " values)");
      for (std::uint32_t k = 0; k < p.count; k += 3) {
        const auto row = static_cast<std::uint32_t>(LoadLE(p.value + 4 * k, 4));
        const auto prev = static_cast<std::uint32_t>(LoadLE(p.value + 4 * k + 4, 4));
        if (row < 1 || row > pk.rowCount_ || prev > pk.rowCount_)
          Bad("the change log names row " + std::to_string(row < 1 || row > pk.rowCount_ ? row : prev) +
              " of " + std::to_string(pk.rowCount_));
        if (prev != 0) previous[row] = prev;
      }
    }
  }
  const std::size_t metadataEnd = c.Pos();
  if ((flags & 2) && dataOffset != metadataEnd)
    Bad("the header puts row 1 at " + std::to_string(dataOffset) +
        " but the field descriptions end at " + std::to_string(metadataEnd));

  // Rows: all are read; the offsets are kept for the change-log chain.
  std::vector<std::size_t> rowAt;
  std::vector<std::uint8_t> status;
  rowAt.reserve(std::min<std::size_t>(pk.rowCount_, c.Left() + 1));
  for (std::uint32_t r = 1; r <= pk.rowCount_; ++r) {
    rowAt.push_back(c.Pos());
    status.push_back(ReadRow(c, layout, r, nullptr));
    if ((status.back() & kHidden) == 0) {
      ++pk.visibleRows_;
      if (pk.currentRow_ == 0) pk.currentRow_ = r;
    }
  }
  // Bytes after the last row are not read, as the row count says where the
  // packet ends.

  if (pk.currentRow_ != 0) {
    std::vector<Cell> cells, older;
    c.Seek(rowAt[pk.currentRow_ - 1]);
    ReadRow(c, layout, pk.currentRow_, &cells);
    // "Not changed" fields take the value of the version this row replaced,
    // or of the one before it: one walk down the chain, each row read once
    // (a looping chain ends after as many steps as there are rows).
    std::uint32_t row = pk.currentRow_;
    for (std::uint32_t steps = 0; steps < pk.rowCount_; ++steps) {
      const bool pending = std::any_of(cells.begin(), cells.end(), [](const Cell& x) { return x.code == 2; });
      const auto it = previous.find(row);
      if (!pending || it == previous.end()) break;
      row = it->second;
      c.Seek(rowAt[row - 1]);
      ReadRow(c, layout, row, &older);
      for (std::size_t i = 0; i < cells.size(); ++i)
        if (cells[i].code == 2) cells[i] = older[i];
    }
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (cells[i].code != 0) continue;
      DataField& f = pk.fields_[i];
      f.notFetched_ = cells[i].notFetched;
      f.value_.emplace(cells[i].data, cells[i].data + cells[i].size);
    }
  }
  return pk;
}

const DataField* DataPacket::FindField(const std::string& name) const {
  const std::u16string key = FoldName(name);
  for (const DataField& f : fields_)
    if (FoldName(f.name_) == key) return &f;
  return nullptr;
}

const DataField& DataPacket::FieldByName(const std::string& name) const {
  const DataField* f = FindField(name);
  if (!f) throw EAppError("Field '" + name + "' not found");
  return *f;
}
