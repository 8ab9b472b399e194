// Small builders for the branding tests: little-endian bytes, zlib streams,
// data packets and BMP files made field by field.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace bt {

using Bytes = std::vector<std::uint8_t>;

inline void Le(Bytes& b, std::uint64_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline Bytes Le16(std::uint32_t v) { Bytes b; Le(b, v, 2); return b; }
inline Bytes Le32(std::uint32_t v) { Bytes b; Le(b, v, 4); return b; }
inline Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
inline void WriteFile(const std::string& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}
inline std::string Packet(const std::string& name) { return std::string(PACKETS_DIR) + "/" + name; }

// A zlib stream of `content`; without `finish` it stops after a sync flush,
// so it has neither its final block nor its check value.
inline Bytes Deflate(const Bytes& content, bool finish = true, int level = 6) {
  z_stream z{};
  deflateInit(&z, level);
  Bytes out(deflateBound(&z, static_cast<uLong>(content.size())) + 64);
  z.next_in = const_cast<Bytef*>(content.data());
  z.avail_in = static_cast<uInt>(content.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, finish ? Z_FINISH : Z_SYNC_FLUSH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Inflated content of a packed file: magic (or any other first word), N,
// and for the magic L and the header text, then the payload.
inline Bytes Content(std::int32_t magic, std::int32_t n, const std::optional<Bytes>& text,
                     const Bytes& payload) {
  Bytes b = Cat({Le32(static_cast<std::uint32_t>(magic)), Le32(static_cast<std::uint32_t>(n))});
  if (text) {
    Le(b, text->size(), 4);
    b.insert(b.end(), text->begin(), text->end());
  }
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

// A data packet made field by field and row by row.
class PacketBuilder {
 public:
  PacketBuilder& Field(const std::string& name, std::uint32_t type, std::uint16_t attrs = 0) {
    fields_.push_back({name, type, attrs, {}, 0});
    return *this;
  }
  // A param of the last field, or of the packet when no field is given yet
  // and `packet` is set; `value` is the encoded value (prefix or count included).
  PacketBuilder& Param(const std::string& name, std::uint32_t type, const Bytes& value) {
    Bytes& b = fields_.back().params;
    Le(b, name.size(), 1);
    b.insert(b.end(), name.begin(), name.end());
    Le(b, type, 4);
    b.insert(b.end(), value.begin(), value.end());
    ++fields_.back().paramCount;
    return *this;
  }
  PacketBuilder& PacketParam(const std::string& name, std::uint32_t type, const Bytes& value) {
    Le(packetParams_, name.size(), 1);
    packetParams_.insert(packetParams_.end(), name.begin(), name.end());
    Le(packetParams_, type, 4);
    packetParams_.insert(packetParams_.end(), value.begin(), value.end());
    ++packetParamCount_;
    return *this;
  }
  // One row: each cell is a value already encoded (prefix included), or a
  // blank code (1 NULL, 2 not changed) when `codes` says so.
  PacketBuilder& Row(std::uint8_t status, const std::vector<Bytes>& cells,
                     const std::vector<int>& codes = {}) {
    Bytes r{status};
    Bytes blanks((fields_.size() + 3) / 4, 0);
    Bytes values;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const int code = i < codes.size() ? codes[i] : 0;
      blanks[i / 4] = static_cast<std::uint8_t>(blanks[i / 4] | code << (2 * (i % 4)));
      if (code == 0) values.insert(values.end(), cells[i].begin(), cells[i].end());
    }
    rows_.push_back(Cat({r, blanks, values}));
    return *this;
  }

  Bytes Build(std::uint32_t flags = 3) const {
    Bytes meta;
    for (const F& f : fields_) {
      Le(meta, f.name.size(), 1);
      meta.insert(meta.end(), f.name.begin(), f.name.end());
      Le(meta, f.type, 4);
      Le(meta, f.attrs, 2);
      Le(meta, f.paramCount, 2);
      meta.insert(meta.end(), f.params.begin(), f.params.end());
    }
    Le(meta, packetParamCount_, 2);
    meta.insert(meta.end(), packetParams_.begin(), packetParams_.end());
    Bytes p = Cat({Le32(0xBDE01996u), Le16(1), Le16(0), Le32(24), Le16(static_cast<std::uint32_t>(fields_.size())),
                   Le32(static_cast<std::uint32_t>(rows_.size())), Le32(flags),
                   Le16(flags & 2 ? static_cast<std::uint32_t>(24 + meta.size()) : 0)});
    p.insert(p.end(), meta.begin(), meta.end());
    for (const Bytes& r : rows_) p.insert(p.end(), r.begin(), r.end());
    return p;
  }

 private:
  struct F {
    std::string name;
    std::uint32_t type;
    std::uint16_t attrs;
    Bytes params;
    std::uint16_t paramCount;
  };
  std::vector<F> fields_;
  Bytes packetParams_;
  std::uint16_t packetParamCount_ = 0;
  std::vector<Bytes> rows_;
};

// Encoded varying values.
inline Bytes Var1(const Bytes& v) { return Cat({Bytes{static_cast<std::uint8_t>(v.size())}, v}); }
inline Bytes Var2(const Bytes& v) { return Cat({Le16(static_cast<std::uint32_t>(v.size())), v}); }
inline Bytes Var4(const Bytes& v) { return Cat({Le32(static_cast<std::uint32_t>(v.size())), v}); }
inline Bytes Utf16(const std::u16string& s) {
  Bytes b;
  for (char16_t c : s) Le(b, c, 2);
  return b;
}

}  // namespace bt
