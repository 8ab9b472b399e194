// Windows bitmap files (BMP), read as the VCL's TBitmap reads them from a
// stream: a BITMAPFILEHEADER, then a BITMAPCOREHEADER (OS/2) or a
// BITMAPINFOHEADER or one of its longer versions; 1, 4 and 8 bits per pixel
// with a colour table, 16 and 32 (plain or with colour masks) and 24;
// bottom-up or top-down rows; RLE4 and RLE8 compression.
//
// Anything else (JPEG, PNG, GIF, an embedded JPEG/PNG, a cut-off file)
// raises EAppError with a message that says what was found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Bitmap {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;               // as stored in the file
  std::vector<std::uint32_t> pixels;  // width * height, top row first, 0x00RRGGBB
};

// Largest picture accepted, in pixels (a banner is far smaller).
inline constexpr std::uint64_t kMaxBitmapPixels = std::uint64_t{1} << 25;

// Reads a BMP file. Bytes that begin with the 8-byte graphic header a
// database graphic field puts before its picture (01 00 00 01, then the size
// of the rest) are read as the bitmap after that header.
Bitmap LoadBitmap(const std::vector<std::uint8_t>& bytes);
Bitmap LoadBitmap(const std::uint8_t* data, std::size_t size);

// True when `blob` starts with a graphic header whose three fields check out.
bool HasGraphicHeader(const std::uint8_t* data, std::size_t size);
bool HasGraphicHeader(const std::vector<std::uint8_t>& blob);
// The blob without its graphic header (unchanged when it has none).
std::vector<std::uint8_t> StripGraphicHeader(const std::vector<std::uint8_t>& blob);
// The 8-byte graphic header followed by `bmp`.
std::vector<std::uint8_t> AddGraphicHeader(const std::vector<std::uint8_t>& bmp);
