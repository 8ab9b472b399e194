// The tick and cross of the check dialog, drawn here rather than shipped as
// files: 24 x 24 pixels in a handful of palette colours on magenta, the
// colour the images draw transparent.
#include <cmath>
#include <cstdlib>

#include "checks/unCheckCondition.h"

namespace {

constexpr int kSize = 24;

// Paints every pixel whose centre lies within `half` of the segment.
void Stroke(vcl::TBitmap& b, double x0, double y0, double x1, double y1, double half,
            std::uint32_t colour) {
  const double dx = x1 - x0, dy = y1 - y0;
  const double len2 = dx * dx + dy * dy;
  for (int y = 0; y < b.Height; ++y)
    for (int x = 0; x < b.Width; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      double t = len2 > 0 ? ((px - x0) * dx + (py - y0) * dy) / len2 : 0;
      t = t < 0 ? 0 : t > 1 ? 1 : t;
      const double ex = x0 + t * dx - px, ey = y0 + t * dy - py;
      if (ex * ex + ey * ey <= half * half) b.Pixels[y * b.Width + x] = colour;
    }
}

vcl::TBitmap Blank() {
  vcl::TBitmap b;
  b.Width = kSize;
  b.Height = kSize;
  b.Pixels.assign(kSize * kSize, kPictureKey);
  return b;
}

}  // namespace

vcl::TBitmap TickPicture() {
  vcl::TBitmap b = Blank();
  // A dark rim under a bright green mark.
  Stroke(b, 4, 12.5, 9.5, 18.5, 2.6, 0x006400);
  Stroke(b, 9.5, 18.5, 20, 5, 2.6, 0x006400);
  Stroke(b, 4, 12.5, 9.5, 18.5, 1.6, 0x00C000);
  Stroke(b, 9.5, 18.5, 20, 5, 1.6, 0x00C000);
  return b;
}

vcl::TBitmap CrossPicture() {
  vcl::TBitmap b = Blank();
  Stroke(b, 5, 5, 19, 19, 2.6, 0x800000);
  Stroke(b, 19, 5, 5, 19, 2.6, 0x800000);
  Stroke(b, 5, 5, 19, 19, 1.6, 0xE00000);
  Stroke(b, 19, 5, 5, 19, 1.6, 0xE00000);
  return b;
}
