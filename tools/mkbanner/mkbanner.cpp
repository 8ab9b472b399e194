// Draws the demo reseller's banner, 585 x 70 pixels, as a 24-bit BMP file:
//   mkbanner <out.bmp>
// A warm orange band with a row of rising bars (a little chart) at the
// right and a soft highlight, so that a branded window is easy to tell
// from the design one.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: mkbanner <out.bmp>\n", stderr);
    return 2;
  }
  const int w = 585, h = 70, stride = (w * 3 + 3) & ~3;
  std::vector<std::uint8_t> px(static_cast<std::size_t>(stride) * h, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const double t = static_cast<double>(x) / (w - 1);
      double r = 236 - 40 * t, g = 120 - 30 * t, b = 40 + 20 * t;
      const double hl = std::exp(-std::pow((y - 12) / 10.0, 2)) * 0.25;  // highlight
      r += (255 - r) * hl;
      g += (255 - g) * hl;
      b += (255 - b) * hl;
      // Rising bars from x = 400.
      const int bar = (x - 400) / 22, inBar = (x - 400) % 22;
      if (x >= 400 && bar < 8 && inBar < 14) {
        const int top = h - 10 - (bar + 1) * 6;
        if (y >= top && y < h - 10) {
          r = 255;
          g = 244 - bar * 6;
          b = 214 - bar * 10;
        }
      }
      if (y >= h - 4) r = g = b = 90;  // a dark rule under it
      const std::size_t at = static_cast<std::size_t>(h - 1 - y) * stride + x * 3;  // bottom-up
      px[at] = static_cast<std::uint8_t>(std::clamp(b, 0.0, 255.0));
      px[at + 1] = static_cast<std::uint8_t>(std::clamp(g, 0.0, 255.0));
      px[at + 2] = static_cast<std::uint8_t>(std::clamp(r, 0.0, 255.0));
    }
  }
  std::string head;
  auto le = [&](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) head += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  head += "BM";
  le(54 + static_cast<std::uint32_t>(px.size()), 4);
  le(0, 4);
  le(54, 4);
  le(40, 4);
  le(w, 4);
  le(h, 4);
  le(1, 2);
  le(24, 2);
  le(0, 4);
  le(static_cast<std::uint32_t>(px.size()), 4);
  le(2835, 4);
  le(2835, 4);
  le(0, 4);
  le(0, 4);
  std::FILE* f = std::fopen(argv[1], "wb");
  if (!f || std::fwrite(head.data(), 1, head.size(), f) != head.size() ||
      std::fwrite(px.data(), 1, px.size(), f) != px.size() || std::fclose(f) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
