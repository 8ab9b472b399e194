#include <algorithm>
#include <cmath>

#include "launcher/unSetupMain.h"

// The design-time banner, drawn here rather than stored: a deep blue band
// fading to teal, with soft light arcs and a thin gold rule at the bottom.
vcl::TBitmap DesignBanner() {
  vcl::TBitmap b;
  b.Width = 585;
  b.Height = 70;
  b.Pixels.resize(static_cast<std::size_t>(b.Width) * b.Height);
  auto mix = [](double a, double c, double t) { return a + (c - a) * t; };
  for (int y = 0; y < b.Height; ++y) {
    for (int x = 0; x < b.Width; ++x) {
      const double t = static_cast<double>(x) / (b.Width - 1);
      double r = mix(16, 22, t), g = mix(52, 128, t), bl = mix(112, 140, t);
      // Two soft arcs of light across the right half.
      for (const auto& [cx, cy, rad] : {std::tuple{470.0, 140.0, 120.0}, std::tuple{560.0, -40.0, 90.0}}) {
        const double d = std::abs(std::hypot(x - cx, y - cy) - rad);
        const double glow = std::max(0.0, 1.0 - d / 10.0) * 0.35;
        r = mix(r, 255, glow);
        g = mix(g, 255, glow);
        bl = mix(bl, 255, glow);
      }
      const double shade = 1.0 - 0.25 * y / (b.Height - 1.0);
      r *= shade;
      g *= shade;
      bl *= shade;
      if (y >= b.Height - 3) {  // the gold rule
        r = 212;
        g = 175;
        bl = 55;
      }
      const auto c = [](double v) { return static_cast<std::uint32_t>(std::clamp(v, 0.0, 255.0)); };
      b.Pixels[static_cast<std::size_t>(y) * b.Width + x] = (c(r) << 16) | (c(g) << 8) | c(bl);
    }
  }
  return b;
}
