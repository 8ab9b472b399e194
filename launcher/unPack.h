// Unpacking of packed data files (the branding file "bin\Lumeno.dat").
//
// A packed file is one zlib stream. Inflated, it holds
//   int32 magic, int32 N, [int32 L, L bytes of header text,]  N payload bytes
// (little-endian); the header text and L are there only when magic is
// 1234567890. Only as much is inflated as the header and the payload need:
// the end of the zlib stream and its Adler-32 check are not required, and
// bytes after the payload are never looked at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The header text of the last unpacking, UTF-8; emptied by each unpacking.
extern std::string sPackHeaderText;

// A growable byte stream in memory with a read/write position, like a
// Delphi TMemoryStream.
class MemoryStream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<std::uint8_t> bytes) : data_(std::move(bytes)) {}

  // Copies up to `count` bytes from the position; returns how many.
  std::size_t Read(void* buffer, std::size_t count);
  // Writes at the position, growing the stream when the write passes its end.
  void Write(const void* buffer, std::size_t count);

  std::size_t Position() const { return pos_; }
  void SetPosition(std::size_t pos) { pos_ = pos; }  // may lie past the end
  std::size_t Size() const { return data_.size(); }
  void Clear() { data_.clear(); pos_ = 0; }
  // Makes room for `size` bytes in all without changing the content.
  void Reserve(std::size_t size) { data_.reserve(size); }

  const std::vector<std::uint8_t>& Bytes() const { return data_; }
  std::vector<std::uint8_t> TakeBytes() { pos_ = 0; return std::move(data_); }

 private:
  std::vector<std::uint8_t> data_;
  std::size_t pos_ = 0;
};

// Inflated content begins with this magic when a header text follows.
inline constexpr std::int32_t kPackMagic = 1234567890;
// At most this many bytes of the header text are taken.
inline constexpr std::int32_t kPackMaxHeaderText = 51201;
// The payload is copied through a buffer of this size.
inline constexpr std::size_t kPackChunk = 51200;

// Writes the payload of the zlib stream in `source` into `destination`.
// Both streams are rewound first; the destination is written from its
// start (a longer destination keeps its tail; after a failure its content
// is unspecified). Sets sPackHeaderText.
// Damaged zlib data, content that ends before its header fields or before
// N payload bytes, and a header text longer than 51201 bytes raise EAppError.
void UnpackStream(MemoryStream& source, MemoryStream& destination);

// The payload of a whole packed file.
std::vector<std::uint8_t> UnpackBytes(const std::vector<std::uint8_t>& packed);
