// Draws the program icon (16 and 32 pixels, 32 bits per pixel) and
// writes it as an .ico file:  mkicon <out.ico>
// The icon is committed as resources/Varnock.ico; run this to redraw it.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

void Put16(std::vector<std::uint8_t>& v, unsigned x) {
  v.push_back(x & 0xFF);
  v.push_back((x >> 8) & 0xFF);
}
void Put32(std::vector<std::uint8_t>& v, unsigned x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

// A rounded blue tile with a white box and a gold arrow pointing into it.
std::vector<std::uint8_t> Image(int n) {
  std::vector<std::uint8_t> img;
  Put32(img, 40);
  Put32(img, n);
  Put32(img, 2 * n);  // colour rows + mask rows
  Put16(img, 1);
  Put16(img, 32);
  for (int i = 0; i < 6; ++i) Put32(img, 0);
  const double s = n / 32.0;
  for (int row = n - 1; row >= 0; --row) {  // bottom-up
    for (int x = 0; x < n; ++x) {
      const double px = (x + 0.5) / s, py = (row + 0.5) / s;
      // rounded tile
      const double dx = std::max(0.0, std::abs(px - 16) - 12), dy = std::max(0.0, std::abs(py - 16) - 12);
      const double d = std::hypot(dx, dy) - 3.5;
      double a = std::clamp(0.5 - d * s, 0.0, 1.0);
      double r = 20 + 30 * py / 32, g = 80 + 60 * py / 32, b = 170 + 40 * py / 32;
      // white box
      if (px > 9 && px < 23 && py > 14 && py < 25) { r = g = b = 245; }
      // gold arrow
      const bool shaft = px > 14.5 && px < 17.5 && py > 5 && py < 13;
      const bool head = py >= 12 && py < 18 && std::abs(px - 16) < (18 - py);
      if (shaft || head) { r = 230; g = 180; b = 40; }
      const auto c = [](double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)); };
      img.push_back(c(b));
      img.push_back(c(g));
      img.push_back(c(r));
      img.push_back(c(a * 255));
    }
  }
  const int maskRow = ((n + 31) / 32) * 4;
  img.insert(img.end(), static_cast<std::size_t>(maskRow * n), 0);  // alpha decides
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: mkicon <out.ico>\n", stderr);
    return 2;
  }
  const int sizes[] = {16, 32};
  std::vector<std::vector<std::uint8_t>> images;
  for (int n : sizes) images.push_back(Image(n));
  std::vector<std::uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 2);
  unsigned offset = 6 + 16 * 2;
  for (std::size_t i = 0; i < 2; ++i) {
    out.push_back(static_cast<std::uint8_t>(sizes[i]));
    out.push_back(static_cast<std::uint8_t>(sizes[i]));
    out.push_back(0);
    out.push_back(0);
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, static_cast<unsigned>(images[i].size()));
    Put32(out, offset);
    offset += static_cast<unsigned>(images[i].size());
  }
  for (const auto& img : images) out.insert(out.end(), img.begin(), img.end());
  std::FILE* f = std::fopen(argv[1], "wb");
  if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
