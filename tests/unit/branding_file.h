// Branding files for the tests, made by the reseller tool itself
// (brandtool pack), and small BMP pictures to put in them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace testbrand {

// A 24-bit bottom-up BMP of w x h pixels; pixel (x, y) from `color`.
template <class F>
std::string Bmp24(int w, int h, F color) {
  const int stride = (w * 3 + 3) & ~3;
  std::string b;
  auto le = [&](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  b += "BM";
  le(54 + stride * h, 4);
  le(0, 4);
  le(54, 4);
  le(40, 4);
  le(static_cast<std::uint32_t>(w), 4);
  le(static_cast<std::uint32_t>(h), 4);
  le(1, 2);
  le(24, 2);
  le(0, 4);
  le(static_cast<std::uint32_t>(stride * h), 4);
  le(2835, 4);
  le(2835, 4);
  le(0, 4);
  le(0, 4);
  for (int y = h - 1; y >= 0; --y) {
    int x = 0;
    for (; x < w; ++x) {
      const std::uint32_t c = color(x, y);
      b += static_cast<char>(c & 0xFF);
      b += static_cast<char>((c >> 8) & 0xFF);
      b += static_cast<char>((c >> 16) & 0xFF);
    }
    b.append(static_cast<std::size_t>(stride - w * 3), '\0');
  }
  return b;
}

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The bytes of a branding file with these fields.
inline std::string Pack(const std::string& title, const std::string& maker,
                        const std::string& bmp, const std::string& addin) {
  char dir[] = "/tmp/brandXXXXXX";
  if (!mkdtemp(dir)) return {};
  const std::string d = dir;
  { std::ofstream(d + "/banner.bmp", std::ios::binary) << bmp; }
  const std::string cmd = std::string(BRANDTOOL_PATH) + " pack " + Quote(d + "/Lumeno.dat") +
                          " --title " + Quote(title) + " --maker " + Quote(maker) +
                          " --banner " + Quote(d + "/banner.bmp") + " --addin " + Quote(addin) +
                          " >/dev/null";
  std::string out;
  if (std::system(cmd.c_str()) == 0) out = ReadAll(d + "/Lumeno.dat");
  std::remove((d + "/banner.bmp").c_str());
  std::remove((d + "/Lumeno.dat").c_str());
  rmdir(dir);
  return out;
}

// The banner of the test branding: 585 x 70, green with a white stripe.
inline std::string TestBanner() {
  return Bmp24(585, 70, [](int, int y) { return y == 35 ? 0xFFFFFFu : 0x208040u; });
}

inline const std::string& DefaultFile() {
  static const std::string file = Pack("汇报通 6.3", "Tenvox Ltd.", TestBanner(), "报表助手");
  return file;
}

}  // namespace testbrand
