#include "launcher/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/errors.h"

namespace {

constexpr std::size_t kGraphicHeader = 8;
constexpr std::size_t kFileHeader = 14;

// compression values of BITMAPINFOHEADER
constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kJpeg = 4, kPng = 5;

[[noreturn]] void Bad(const std::string& detail) {
  throw EAppError("Bitmap image is not valid: " + detail);
}

std::uint32_t U16(const std::uint8_t* p) { return p[0] | p[1] << 8; }
std::uint32_t U32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool StartsWith(const std::uint8_t* p, std::size_t n, const char* sig, std::size_t len) {
  return n >= len && std::memcmp(p, sig, len) == 0;
}

// Names what the bytes are when they are not a bitmap.
[[noreturn]] void NotABitmap(const std::uint8_t* p, std::size_t n) {
  if (n == 0) Bad("the data is empty");
  if (StartsWith(p, n, "\xFF\xD8\xFF", 3)) Bad("the data is a JPEG picture, not a bitmap");
  if (StartsWith(p, n, "\x89PNG", 4)) Bad("the data is a PNG picture, not a bitmap");
  if (StartsWith(p, n, "GIF8", 4)) Bad("the data is a GIF picture, not a bitmap");
  if (StartsWith(p, n, "\x01\x00\x00\x01", 4))
    Bad("the data starts with a graphic header whose size does not match, or no bitmap follows it");
  Bad("the data does not start with \"BM\"");
}

// A colour mask: where its bits start and how many there are; contiguous
// masks only, as GDI demands.
struct Channel {
  unsigned shift = 0;
  unsigned bits = 0;

  static Channel From(std::uint32_t mask, const char* name) {
    Channel c;
    if (mask == 0) return c;
    while (!(mask >> c.shift & 1)) ++c.shift;
    std::uint32_t m = mask >> c.shift;
    while (m & 1) ++c.bits, m >>= 1;
    if (m != 0) Bad(std::string("the ") + name + " colour mask is not contiguous");
    return c;
  }
  // The channel's value scaled to 0..255.
  std::uint32_t Get(std::uint32_t v) const {
    if (bits == 0) return 0;
    const std::uint32_t x = (v >> shift) & ((bits >= 32 ? 0 : (1u << bits)) - 1u);
    if (bits >= 8) return x >> (bits - 8);
    // Repeat the bits to fill 8, so that all ones becomes 255.
    std::uint32_t out = 0;
    int have = 0;
    while (have < 8) {
      out = out << bits | x;
      have += static_cast<int>(bits);
    }
    return out >> (have - 8);
  }
};

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : p_(data), n_(size) {}

  Bitmap Read() {
    if (!StartsWith(p_, n_, "BM", 2)) NotABitmap(p_, n_);
    Need(kFileHeader + 4, "the file header");
    const std::uint32_t offBits = U32(p_ + 10);
    const std::uint32_t infoSize = U32(p_ + 14);
    if (infoSize != 12 && (infoSize < 40 || infoSize > 0x10000))
      Bad("unknown bitmap header of " + std::to_string(infoSize) + " bytes");
    Need(kFileHeader + infoSize, "the bitmap header");
    const std::uint8_t* h = p_ + kFileHeader;

    std::int64_t width, height;
    std::uint32_t planes, compression = kRgb, colorsUsed = 0;
    std::size_t paletteEntry = 4;
    if (infoSize == 12) {  // BITMAPCOREHEADER
      width = U16(h + 4);
      height = U16(h + 6);
      planes = U16(h + 8);
      bpp_ = U16(h + 10);
      paletteEntry = 3;
    } else {
      width = static_cast<std::int32_t>(U32(h + 4));
      height = static_cast<std::int32_t>(U32(h + 8));
      planes = U16(h + 12);
      bpp_ = U16(h + 14);
      compression = U32(h + 16);
      colorsUsed = U32(h + 32);
    }
    if (planes != 1) Bad(std::to_string(planes) + " colour planes (must be 1)");
    if (compression == kJpeg) Bad("the bitmap holds a JPEG image, which is not supported");
    if (compression == kPng) Bad("the bitmap holds a PNG image, which is not supported");
    switch (compression) {
      case kRgb:
        if (bpp_ != 1 && bpp_ != 4 && bpp_ != 8 && bpp_ != 16 && bpp_ != 24 && bpp_ != 32)
          Bad(std::to_string(bpp_) + " bits per pixel is not supported");
        break;
      case kRle8:
        if (bpp_ != 8) Bad("RLE8 compression with " + std::to_string(bpp_) + " bits per pixel");
        break;
      case kRle4:
        if (bpp_ != 4) Bad("RLE4 compression with " + std::to_string(bpp_) + " bits per pixel");
        break;
      case kBitfields:
        if (bpp_ != 16 && bpp_ != 32)
          Bad("colour masks with " + std::to_string(bpp_) + " bits per pixel");
        break;
      default:
        Bad("compression method " + std::to_string(compression) + " is not supported");
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (topDown && (compression == kRle4 || compression == kRle8))
      Bad("a compressed bitmap cannot be top-down");
    if (width <= 0 || height <= 0)
      Bad("the size " + std::to_string(width) + " x " + std::to_string(height) + " is not valid");
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxBitmapPixels)
      Bad("the picture of " + std::to_string(width) + " x " + std::to_string(height) +
          " pixels is too large");

    // Colour masks: in the header from version 4 on, else after it.
    std::size_t afterHeader = kFileHeader + infoSize;
    std::uint32_t masks[3] = {0, 0, 0};
    if (compression == kBitfields) {
      const std::uint8_t* m = h + 40;
      if (infoSize < 52) {
        Need(afterHeader + 12, "the colour masks");
        m = p_ + afterHeader;
        afterHeader += 12;
      }
      for (int i = 0; i < 3; ++i) masks[i] = U32(m + 4 * i);
    } else if (bpp_ == 16) {
      masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (bpp_ == 32 || bpp_ == 24) {
      masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
    }
    red_ = Channel::From(masks[0], "red");
    green_ = Channel::From(masks[1], "green");
    blue_ = Channel::From(masks[2], "blue");

    // Colour table.
    if (bpp_ <= 8) {
      const std::uint32_t max = 1u << bpp_;
      const std::uint32_t count = colorsUsed == 0 || colorsUsed > max ? max : colorsUsed;
      Need(afterHeader + std::uint64_t{count} * paletteEntry, "the colour table");
      for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* e = p_ + afterHeader + i * paletteEntry;
        palette_.push_back(static_cast<std::uint32_t>(e[2]) << 16 | e[1] << 8 | e[0]);
      }
      afterHeader += count * paletteEntry;
    }

    // The pixel data start at the header's offset when it gives one.
    std::size_t bits = afterHeader;
    if (offBits != 0) {
      if (offBits > n_)
        Bad("the pixel data offset " + std::to_string(offBits) + " lies outside the file");
      if (offBits < kFileHeader + infoSize)
        Bad("the pixel data offset " + std::to_string(offBits) + " points into the headers");
      bits = offBits;
    }

    Bitmap bmp;
    bmp.width = static_cast<int>(width);
    bmp.height = static_cast<int>(height);
    bmp.bitsPerPixel = static_cast<int>(bpp_);
    bmp.pixels.assign(static_cast<std::size_t>(width * height), Color(0));
    if (compression == kRle4 || compression == kRle8) {
      DecodeRle(bmp, bits, compression == kRle8);
    } else {
      DecodeRows(bmp, bits, topDown);
    }
    return bmp;
  }

 private:
  void Need(std::uint64_t end, const char* what) const {
    if (end > n_)
      Bad("the file is cut off in " + std::string(what) + " (" + std::to_string(end) +
          " bytes needed, " + std::to_string(n_) + " present)");
  }

  // The colour of palette index `i`; black beyond the table, as GDI does.
  std::uint32_t Color(std::uint32_t i) const { return i < palette_.size() ? palette_[i] : 0; }

  void DecodeRows(Bitmap& bmp, std::size_t bits, bool topDown) {
    const std::uint64_t w = static_cast<std::uint64_t>(bmp.width);
    const std::uint64_t stride = (w * bpp_ + 31) / 32 * 4;
    Need(bits + stride * static_cast<std::uint64_t>(bmp.height), "the pixel data");
    for (int y = 0; y < bmp.height; ++y) {
      const std::uint8_t* row = p_ + bits + stride * static_cast<std::uint64_t>(y);
      const int outY = topDown ? y : bmp.height - 1 - y;
      std::uint32_t* out = bmp.pixels.data() + static_cast<std::size_t>(outY) * w;
      for (std::uint64_t x = 0; x < w; ++x) {
        switch (bpp_) {
          case 1: out[x] = Color(row[x / 8] >> (7 - x % 8) & 1); break;
          case 4: out[x] = Color(row[x / 2] >> (x % 2 ? 0 : 4) & 0x0F); break;
          case 8: out[x] = Color(row[x]); break;
          case 16: out[x] = Masked(U16(row + 2 * x)); break;
          case 24: out[x] = static_cast<std::uint32_t>(row[3 * x + 2]) << 16 | row[3 * x + 1] << 8 | row[3 * x]; break;
          default: out[x] = Masked(U32(row + 4 * x)); break;
        }
      }
    }
  }

  std::uint32_t Masked(std::uint32_t v) const {
    return red_.Get(v) << 16 | green_.Get(v) << 8 | blue_.Get(v);
  }

  // RLE8/RLE4: runs and escapes; pixels the data skip keep index 0. Rows
  // count from the bottom. Drawing beyond the picture is clipped.
  void DecodeRle(Bitmap& bmp, std::size_t pos, bool eight) {
    std::int64_t x = 0, y = 0;  // y counts from the bottom row
    auto put = [&](std::uint32_t index) {
      if (x >= 0 && x < bmp.width && y < bmp.height)
        bmp.pixels[static_cast<std::size_t>((bmp.height - 1 - y) * bmp.width + x)] = Color(index);
      ++x;
    };
    while (y < bmp.height) {
      if (pos + 2 > n_) Bad("the compressed pixel data are cut off");
      const std::uint8_t count = p_[pos], value = p_[pos + 1];
      pos += 2;
      if (count > 0) {  // a run of `count` pixels
        for (int i = 0; i < count; ++i)
          put(eight ? value : (i % 2 ? value & 0x0F : value >> 4));
        continue;
      }
      if (value == 0) {  // end of line
        x = 0;
        ++y;
      } else if (value == 1) {  // end of bitmap
        break;
      } else if (value == 2) {  // move right and up
        if (pos + 2 > n_) Bad("the compressed pixel data are cut off");
        x += p_[pos];
        y += p_[pos + 1];
        pos += 2;
      } else {  // `value` pixels stored as they are, padded to 16 bits
        const std::size_t bytes = eight ? value : (value + 1u) / 2;
        if (pos + bytes > n_) Bad("the compressed pixel data are cut off");
        for (int i = 0; i < value; ++i) {
          const std::uint8_t b = p_[pos + (eight ? i : i / 2)];
          put(eight ? b : (i % 2 ? b & 0x0F : b >> 4));
        }
        pos += (bytes + 1) & ~std::size_t{1};
      }
    }
  }

  const std::uint8_t* p_;
  std::size_t n_;
  std::uint32_t bpp_ = 0;
  std::vector<std::uint32_t> palette_;
  Channel red_, green_, blue_;
};

}  // namespace

bool HasGraphicHeader(const std::uint8_t* data, std::size_t size) {
  return size >= kGraphicHeader && U16(data) == 1 && U16(data + 2) == 0x0100 &&
         U32(data + 4) == size - kGraphicHeader;
}

bool HasGraphicHeader(const std::vector<std::uint8_t>& blob) {
  return HasGraphicHeader(blob.data(), blob.size());
}

std::vector<std::uint8_t> StripGraphicHeader(const std::vector<std::uint8_t>& blob) {
  if (!HasGraphicHeader(blob)) return blob;
  return std::vector<std::uint8_t>(blob.begin() + kGraphicHeader, blob.end());
}

std::vector<std::uint8_t> AddGraphicHeader(const std::vector<std::uint8_t>& bmp) {
  std::vector<std::uint8_t> out{1, 0, 0, 1};
  const auto n = static_cast<std::uint32_t>(bmp.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
  out.insert(out.end(), bmp.begin(), bmp.end());
  return out;
}

Bitmap LoadBitmap(const std::vector<std::uint8_t>& bytes) {
  return LoadBitmap(bytes.data(), bytes.size());
}

Bitmap LoadBitmap(const std::uint8_t* data, std::size_t size) {
  if (!data) size = 0;
  if (size >= kGraphicHeader + 2 && HasGraphicHeader(data, size) &&
      StartsWith(data + kGraphicHeader, size - kGraphicHeader, "BM", 2)) {
    data += kGraphicHeader;
    size -= kGraphicHeader;
  }
  return Reader(data, size).Read();
}
