#include <gtest/gtest.h>

#include <functional>

#include "common/errors.h"
#include "launcher/Bitmap.h"
#include "tests/unit/branding/helpers.h"

using namespace bt;

namespace {

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3;

struct BmpLayout {
  BmpLayout(int w, int h, int b, int hdr = 40, std::uint32_t comp = kRgb)
      : width(w), height(h), bpp(b), header(hdr), compression(comp) {}
  int width, height, bpp;
  int header;  // 12 (OS/2 core), 40, 108 (V4), 124 (V5)
  std::uint32_t compression;
  bool topDown = false;
  std::uint32_t masks[3] = {0, 0, 0};
  std::uint32_t colorsUsed = 0;
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB
  std::uint16_t planes = 1;
};

// A BMP file: `put` appends the encoded pixel (x, y), y counting from the top.
Bytes MakeBmp(const BmpLayout& s, const std::function<void(Bytes&, int, int)>& put, Bytes bits = {}) {
  if (bits.empty() && s.compression != kRle4 && s.compression != kRle8) {
    for (int r = 0; r < s.height; ++r) {
      const int y = s.topDown ? r : s.height - 1 - r;
      Bytes row;
      if (s.bpp < 8) {
        row.assign((s.width * s.bpp + 7) / 8, 0);
        for (int x = 0; x < s.width; ++x) {
          Bytes v;
          put(v, x, y);
          const int bit = x * s.bpp;
          row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | v[0] << (8 - s.bpp - bit % 8));
        }
      } else {
        for (int x = 0; x < s.width; ++x) put(row, x, y);
      }
      row.resize((row.size() + 3) / 4 * 4, 0);
      bits.insert(bits.end(), row.begin(), row.end());
    }
  }
  Bytes info;
  if (s.header == 12) {
    info = Cat({Le32(12), Le16(s.width), Le16(s.height), Le16(s.planes), Le16(s.bpp)});
  } else {
    info = Cat({Le32(s.header), Le32(s.width), Le32(s.topDown ? -s.height : s.height), Le16(s.planes),
                Le16(s.bpp), Le32(s.compression), Le32(bits.size()), Le32(2835), Le32(2835),
                Le32(s.colorsUsed ? s.colorsUsed
                     : s.bpp <= 8 && s.palette.size() < (1u << s.bpp) ? s.palette.size() : 0),
                Le32(0)});
    if (s.header >= 52) info = Cat({info, Le32(s.masks[0]), Le32(s.masks[1]), Le32(s.masks[2])});
    info.resize(s.header, 0);
  }
  if (s.compression == kBitfields && s.header == 40)
    info = Cat({info, Le32(s.masks[0]), Le32(s.masks[1]), Le32(s.masks[2])});
  Bytes pal;
  for (std::uint32_t c : s.palette) {
    Le(pal, c, 3);
    if (s.header != 12) pal.push_back(0);
  }
  const std::uint32_t off = static_cast<std::uint32_t>(14 + info.size() + pal.size());
  return Cat({Str("BM"), Le32(off + static_cast<std::uint32_t>(bits.size())), Le32(0), Le32(off), info, pal, bits});
}

std::vector<std::uint32_t> Palette(int n) {
  std::vector<std::uint32_t> p;
  for (int i = 0; i < n; ++i) p.push_back(static_cast<std::uint32_t>(i * 0x0F1E2D + 0x102030) & 0xFFFFFF);
  return p;
}

std::string LoadError(const Bytes& b) {
  try {
    LoadBitmap(b);
  } catch (const EAppError& e) {
    return e.Message();
  }
  return "(no error)";
}

std::uint32_t Expand(std::uint32_t v, int bits) {  // n-bit channel to 8 bits
  return bits == 5 ? (v << 3 | v >> 2) : (v << 2 | v >> 4);
}

TEST(BitmapRead, EveryPixelFormat) {
  struct Format {
    const char* name;
    BmpLayout layout;
    std::function<void(Bytes&, int, int)> put;
    std::function<std::uint32_t(int, int)> expect;
  };
  // A value per pixel from which each format takes what it can hold.
  auto v = [](int x, int y) { return static_cast<std::uint32_t>(x * 2654435761u + y * 40503u) >> 7; };
  auto index = [&](int n) {
    return [=](Bytes& b, int x, int y) { b.push_back(static_cast<std::uint8_t>(v(x, y) % n)); };
  };
  auto indexed = [&](int n, int used) {
    const auto pal = Palette(used);
    return [=](int x, int y) { const auto i = v(x, y) % n; return i < pal.size() ? pal[i] : 0u; };
  };
  auto rgb = [&](int x, int y) { return v(x, y) & 0xFFFFFF; };
  auto put24 = [&](Bytes& b, int x, int y) { Le(b, rgb(x, y), 3); };
  auto r5 = [&](int x, int y) { return v(x, y) & 31; };
  auto g5 = [&](int x, int y) { return v(x, y) >> 5 & 31; };
  auto g6 = [&](int x, int y) { return v(x, y) >> 5 & 63; };
  auto b5 = [&](int x, int y) { return v(x, y) >> 11 & 31; };

  std::vector<Format> formats;
  for (int w : {1, 3, 5, 9}) {  // row padding
    BmpLayout s1{w, 3, 1}; s1.palette = Palette(2);
    formats.push_back({"1 bpp", s1, index(2), indexed(2, 2)});
    BmpLayout s4{w, 2, 4}; s4.palette = Palette(16);
    formats.push_back({"4 bpp", s4, index(16), indexed(16, 16)});
  }
  BmpLayout s8{5, 4, 8}; s8.palette = Palette(256);
  formats.push_back({"8 bpp", s8, index(256), indexed(256, 256)});
  BmpLayout s8short{5, 4, 8}; s8short.palette = Palette(5); s8short.colorsUsed = 5;
  formats.push_back({"8 bpp, 5 colours, larger indices black", s8short, index(8), indexed(8, 5)});
  BmpLayout s8top = s8; s8top.topDown = true;
  formats.push_back({"8 bpp top-down", s8top, index(256), indexed(256, 256)});
  BmpLayout core8{3, 2, 8, 12}; core8.palette = Palette(256);
  formats.push_back({"8 bpp OS/2 header", core8, index(256), indexed(256, 256)});
  formats.push_back({"24 bpp OS/2 header", BmpLayout{3, 2, 24, 12}, put24, rgb});
  formats.push_back({"24 bpp", BmpLayout{3, 3, 24}, put24, rgb});
  BmpLayout s24top{5, 2, 24}; s24top.topDown = true;
  formats.push_back({"24 bpp top-down", s24top, put24, rgb});
  formats.push_back({"32 bpp (high byte ignored)", BmpLayout{3, 2, 32},
                     [&](Bytes& b, int x, int y) { Le(b, rgb(x, y) | 0xAA000000u, 4); }, rgb});
  formats.push_back({"16 bpp 5-5-5", BmpLayout{3, 2, 16},
                     [&](Bytes& b, int x, int y) { Le(b, r5(x, y) << 10 | g5(x, y) << 5 | b5(x, y), 2); },
                     [&](int x, int y) { return Expand(r5(x, y), 5) << 16 | Expand(g5(x, y), 5) << 8 | Expand(b5(x, y), 5); }});
  for (int header : {40, 108, 124}) {
    BmpLayout s565{3, 2, 16, header, kBitfields}; s565.masks[0] = 0xF800; s565.masks[1] = 0x07E0; s565.masks[2] = 0x001F;
    formats.push_back({"16 bpp 5-6-5 masks", s565,
                       [&](Bytes& b, int x, int y) { Le(b, r5(x, y) << 11 | g6(x, y) << 5 | b5(x, y), 2); },
                       [&](int x, int y) { return Expand(r5(x, y), 5) << 16 | Expand(g6(x, y), 6) << 8 | Expand(b5(x, y), 5); }});
  }
  BmpLayout s32m{3, 2, 32, 40, kBitfields}; s32m.masks[0] = 0x000000FF; s32m.masks[1] = 0x0000FF00; s32m.masks[2] = 0x00FF0000;
  s32m.topDown = true;
  formats.push_back({"32 bpp masks, blue-green-red order, top-down", s32m,
                     [&](Bytes& b, int x, int y) {
                       const auto c = rgb(x, y);
                       Le(b, (c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16, 4);
                     },
                     rgb});

  for (const Format& f : formats) {
    SCOPED_TRACE(std::string(f.name) + ", width " + std::to_string(f.layout.width));
    const Bitmap b = LoadBitmap(MakeBmp(f.layout, f.put));
    ASSERT_EQ(b.width, f.layout.width);
    ASSERT_EQ(b.height, f.layout.height);
    EXPECT_EQ(b.bitsPerPixel, f.layout.bpp);
    std::vector<std::uint32_t> want;
    for (int y = 0; y < f.layout.height; ++y)
      for (int x = 0; x < f.layout.width; ++x) want.push_back(f.expect(x, y));
    EXPECT_EQ(b.pixels, want);
  }
}

TEST(BitmapRead, RunLengthEncoded) {
  const auto pal = Palette(16);
  const std::uint32_t O = pal[0];  // pixels the data skip keep colour 0
  auto c = [&](int i) { return pal[i]; };

  BmpLayout r8{4, 3, 8, 40, kRle8};
  r8.palette = pal;
  const Bytes rle8 = {0x06, 0x01,                 // bottom row: a run of 6, clipped to 4
                      0x00, 0x00,                 // end of line
                      0x00, 0x02, 0x01, 0x01,     // move 1 right and 1 up
                      0x00, 0x03, 3, 2, 1, 0x00,  // 3 literal pixels, padded to 16 bits
                      0x00, 0x01};                // end of bitmap
  Bitmap b = LoadBitmap(MakeBmp(r8, nullptr, rle8));
  EXPECT_EQ(b.pixels, (std::vector<std::uint32_t>{O, c(3), c(2), c(1),  //
                                                  O, O, O, O,           //
                                                  c(1), c(1), c(1), c(1)}));

  BmpLayout r4{5, 2, 4, 40, kRle4};
  r4.palette = pal;
  const Bytes rle4 = {0x05, 0x12,              // 1 2 1 2 1
                      0x00, 0x00,              // end of line
                      0x00, 0x03, 0x34, 0x50,  // literal 3 4 5
                      0x00, 0x01};
  b = LoadBitmap(MakeBmp(r4, nullptr, rle4));
  EXPECT_EQ(b.pixels, (std::vector<std::uint32_t>{c(3), c(4), c(5), O, O,  //
                                                  c(1), c(2), c(1), c(2), c(1)}));

  // Rows ended by the data without an end-of-bitmap mark are enough.
  b = LoadBitmap(MakeBmp(r4, nullptr, {0x05, 0x11, 0x00, 0x00, 0x05, 0x22, 0x00, 0x00}));
  EXPECT_EQ(b.pixels[0], c(2));
}

TEST(BitmapRead, GraphicHeaderBeforeTheBitmap) {
  const Bytes bmp = MakeBmp(BmpLayout{2, 2, 24}, [](Bytes& b, int x, int y) { Le(b, 0x010203u * (x + 2 * y + 1), 3); });
  const Bitmap plain = LoadBitmap(bmp);
  const Bytes wrapped = AddGraphicHeader(bmp);
  EXPECT_EQ(Bytes(wrapped.begin(), wrapped.begin() + 8), Cat({Bytes{1, 0, 0, 1}, Le32(static_cast<std::uint32_t>(bmp.size()))}));
  EXPECT_TRUE(HasGraphicHeader(wrapped));
  EXPECT_FALSE(HasGraphicHeader(bmp));
  EXPECT_EQ(StripGraphicHeader(wrapped), bmp);
  EXPECT_EQ(StripGraphicHeader(bmp), bmp);
  EXPECT_EQ(LoadBitmap(wrapped).pixels, plain.pixels);

  Bytes wrongSize = wrapped;
  wrongSize[4] ^= 1;
  EXPECT_FALSE(HasGraphicHeader(wrongSize));
  EXPECT_EQ(StripGraphicHeader(wrongSize), wrongSize);
  EXPECT_NE(LoadError(wrongSize).find("graphic header whose size does not match"), std::string::npos);
}

TEST(BitmapRead, RejectsWhatIsNotAValidBitmap) {
  auto zero = [](Bytes& b, int, int) { b.push_back(0); };
  auto bmp = [&](BmpLayout s, Bytes bits = {}) {
    if (s.bpp <= 8 && s.palette.empty()) s.palette = Palette(1 << s.bpp);
    return MakeBmp(s, s.bpp <= 8 ? std::function<void(Bytes&, int, int)>(zero) : [&](Bytes& b, int, int) { b.insert(b.end(), s.bpp / 8, 0); }, bits);
  };
  auto with = [](BmpLayout s, auto&& change) { change(s); return s; };
  const Bytes good24 = bmp(BmpLayout{3, 2, 24});
  BmpLayout pal8{3, 2, 8};
  pal8.palette = Palette(256);
  const Bytes good8 = bmp(pal8);
  auto cut = [](const Bytes& b, std::size_t n) { return Bytes(b.begin(), b.begin() + static_cast<long>(n)); };
  auto patch = [](Bytes b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    return b;
  };

  struct Case {
    const char* name;
    Bytes data;
    const char* message;
  };
  const Case cases[] = {
      {"empty", {}, "the data is empty"},
      {"jpeg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F'}, "a JPEG picture, not a bitmap"},
      {"png", Cat({Bytes{0x89}, Str("PNG\r\n\x1A\n")}), "a PNG picture, not a bitmap"},
      {"gif", Str("GIF89a\x01\x00\x01\x00"), "a GIF picture, not a bitmap"},
      {"text", Str("hello"), "does not start with \"BM\""},
      {"file header cut", Str("BM\x10\x00"), "cut off in the file header"},
      {"info header cut", cut(good24, 30), "cut off in the bitmap header"},
      {"palette cut", cut(good8, 14 + 40 + 10), "cut off in the colour table"},
      {"pixels cut", cut(good24, good24.size() - 1), "cut off in the pixel data"},
      {"unknown header", patch(good24, 14, 20), "unknown bitmap header of 20 bytes"},
      {"2 bpp", bmp(with(BmpLayout{3, 2, 2}, [](BmpLayout& s) { s.palette = Palette(4); })), "2 bits per pixel is not supported"},
      {"planes", bmp(with(BmpLayout{3, 2, 24}, [](BmpLayout& s) { s.planes = 2; })), "2 colour planes"},
      {"embedded jpeg", bmp(with(BmpLayout{3, 2, 24}, [](BmpLayout& s) { s.compression = 4; })), "holds a JPEG image"},
      {"embedded png", bmp(with(BmpLayout{3, 2, 24}, [](BmpLayout& s) { s.compression = 5; })), "holds a PNG image"},
      {"compression 6", bmp(with(BmpLayout{3, 2, 32}, [](BmpLayout& s) { s.compression = 6; })), "compression method 6"},
      {"zero width", bmp(BmpLayout{0, 2, 24}), "the size 0 x 2 is not valid"},
      {"zero height", patch(good24, 22, 0), "the size 3 x 0 is not valid"},
      {"too large", patch(patch(good24, 18, 100000), 22, 100000), "100000 x 100000 pixels is too large"},
      {"rle8 with 4 bpp", bmp(with(BmpLayout{3, 2, 4}, [](BmpLayout& s) { s.compression = kRle8; }), {0, 1}), "RLE8 compression with 4 bits"},
      {"rle top-down", bmp(with(BmpLayout{3, 2, 8}, [](BmpLayout& s) { s.compression = kRle8; s.topDown = true; }), {0, 1}),
       "cannot be top-down"},
      {"rle cut", bmp(with(BmpLayout{3, 2, 8}, [](BmpLayout& s) { s.compression = kRle8; }), {3, 1, 0, 0, 3}),
       "compressed pixel data are cut off"},
      {"rle literal cut", bmp(with(BmpLayout{3, 2, 8}, [](BmpLayout& s) { s.compression = kRle8; }), {0, 5, 1, 2}),
       "compressed pixel data are cut off"},
      {"masks with 24 bpp", bmp(with(BmpLayout{3, 2, 24}, [](BmpLayout& s) { s.compression = kBitfields; })), "colour masks with 24 bits"},
      {"masks missing", cut(bmp(with(BmpLayout{1, 1, 16}, [](BmpLayout& s) { s.compression = kBitfields; }), {0, 0, 0, 0}), 60),
       "cut off in the colour masks"},
      {"mask with a gap", bmp(with(BmpLayout{3, 2, 16}, [](BmpLayout& s) { s.compression = kBitfields; s.masks[0] = 0xF0F0; })),
       "the red colour mask is not contiguous"},
      {"pixel offset beyond", patch(good24, 10, 10000), "pixel data offset 10000 lies outside the file"},
      {"pixel offset inside header", patch(good24, 10, 20), "pixel data offset 20 points into the headers"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string m = LoadError(c.data);
    EXPECT_EQ(m.rfind("Bitmap image is not valid: ", 0), 0u) << m;
    EXPECT_NE(m.find(c.message), std::string::npos) << m;
  }
}

TEST(BitmapRead, EveryCutIsRefused) {
  BmpLayout s8{5, 3, 8};
  s8.palette = Palette(7);
  s8.colorsUsed = 7;
  BmpLayout rle{4, 2, 8, 40, kRle8};
  rle.palette = Palette(3);
  for (const Bytes& whole : {MakeBmp(s8, [](Bytes& b, int x, int) { b.push_back(static_cast<std::uint8_t>(x)); }),
                             MakeBmp(BmpLayout{3, 2, 16}, [](Bytes& b, int, int) { Le(b, 0x7FFF, 2); }),
                             MakeBmp(rle, nullptr, {4, 1, 0, 0, 0, 3, 1, 2, 0, 0, 0, 1})}) {
    EXPECT_NO_THROW(LoadBitmap(whole));
    for (std::size_t n = 0; n < whole.size(); ++n)
      EXPECT_THROW(LoadBitmap(Bytes(whole.begin(), whole.begin() + static_cast<long>(n))), EAppError) << n;
  }
}

}  // namespace
