#include "launcher/unPack.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "common/errors.h"
#include "platform/system.h"

std::string sPackHeaderText;

// ------------------------------------------------------------------ MemoryStream

std::size_t MemoryStream::Read(void* buffer, std::size_t count) {
  if (pos_ >= data_.size()) return 0;
  const std::size_t n = std::min(count, data_.size() - pos_);
  if (n > 0) std::memcpy(buffer, data_.data() + pos_, n);
  pos_ += n;
  return n;
}

void MemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return;
  const auto* p = static_cast<const std::uint8_t*>(buffer);
  if (pos_ > data_.size()) data_.resize(pos_, 0);
  const std::size_t overwrite = std::min(count, data_.size() - pos_);
  if (overwrite > 0) std::memcpy(data_.data() + pos_, p, overwrite);
  // Appending grows the vector geometrically: a long copy in chunks costs
  // amortised linear time.
  data_.insert(data_.end(), p + overwrite, p + count);
  pos_ += count;
}

// ------------------------------------------------------------------ inflating

namespace {

constexpr std::size_t kReserveRatio = 8;

[[noreturn]] void Damaged(const std::string& detail) {
  throw EAppError("The packed data is damaged: " + detail);
}

// Inflates the zlib stream of a source stream from its position, on demand.
// zlib reads the source's bytes where they lie; the source's position
// follows what has been handed to zlib.
class InflateReader {
 public:
  explicit InflateReader(MemoryStream& source) : source_(source) {
    z_ = {};
    const int rc = inflateInit2(&z_, 15);
    if (rc != Z_OK) throw EAppError(std::string("Cannot start zlib inflation: ") + zError(rc));
  }
  ~InflateReader() { inflateEnd(&z_); }
  InflateReader(const InflateReader&) = delete;
  InflateReader& operator=(const InflateReader&) = delete;

  // Inflates up to `count` bytes into `buffer`; fewer only when the content
  // has ended (the zlib stream's end, or the compressed data cut off).
  std::size_t Read(void* buffer, std::size_t count) {
    std::size_t got = 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (got < count && !ended_) {
      if (z_.avail_in == 0 && !sourceDone_) Refill();
      const std::size_t want = std::min<std::size_t>(count - got, 1u << 30);
      z_.next_out = out + got;
      z_.avail_out = static_cast<uInt>(want);
      const int rc = inflate(&z_, Z_NO_FLUSH);
      const std::size_t made = want - z_.avail_out;
      got += made;
      if (rc == Z_STREAM_END) {
        ended_ = true;
      } else if (rc == Z_OK || rc == Z_BUF_ERROR) {
        // No input left and nothing more came out: the data is cut off.
        if (z_.avail_in == 0 && sourceDone_ && (rc == Z_BUF_ERROR || made == 0)) {
          ended_ = cutOff_ = true;
        }
      } else if (rc == Z_MEM_ERROR) {
        throw EAppError("Out of memory while inflating the packed data");
      } else {
        const std::string error = rc == Z_NEED_DICT ? "zlib: the stream needs a preset dictionary"
                                                    : std::string("zlib: ") + (z_.msg ? z_.msg : zError(rc));
        // inflate may run on past the output asked for (into the end of
        // the block and the check value) and fail there; what it delivered
        // is sound, so the failure counts only for a later read.
        if (got < count) Damaged(error);
        error_ = error;
        ended_ = true;
      }
    }
    return got;
  }

  // Fills `buffer` with exactly `count` bytes or raises EAppError naming `what`.
  void ReadExact(void* buffer, std::size_t count, const std::string& what) {
    const std::size_t got = Read(buffer, count);
    if (got < count) EndedEarly(what, got, count);
  }

  [[noreturn]] void EndedEarly(const std::string& what, std::size_t got, std::size_t count) const {
    if (!error_.empty()) Damaged(error_);
    std::string m = cutOff_ ? "the compressed data is cut off " : "the content ends ";
    if (got == 0) Damaged(m + "before " + what);
    Damaged(m + "inside " + what + " (after " + std::to_string(got) + " of " +
            std::to_string(count) + " bytes)");
  }

 private:
  void Refill() {
    const std::vector<std::uint8_t>& bytes = source_.Bytes();
    const std::size_t pos = std::min(source_.Position(), bytes.size());
    const std::size_t n = std::min<std::size_t>(bytes.size() - pos, 1u << 30);
    if (n == 0) sourceDone_ = true;
    z_.next_in = const_cast<Bytef*>(bytes.data() + pos);
    z_.avail_in = static_cast<uInt>(n);
    source_.SetPosition(pos + n);
  }

  MemoryStream& source_;
  z_stream z_;
  bool sourceDone_ = false;
  bool ended_ = false;
  bool cutOff_ = false;
  std::string error_;  // a zlib failure met after the bytes asked for
};

std::int32_t ReadInt32(InflateReader& reader, const char* what) {
  std::uint8_t b[4];
  reader.ReadExact(b, 4, what);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) |
                                   static_cast<std::uint32_t>(b[1]) << 8 |
                                   static_cast<std::uint32_t>(b[2]) << 16 |
                                   static_cast<std::uint32_t>(b[3]) << 24);
}

}  // namespace

// ------------------------------------------------------------------ unpacking

void UnpackStream(MemoryStream& source, MemoryStream& destination) {
  sPackHeaderText.clear();
  destination.SetPosition(0);
  source.SetPosition(0);
  InflateReader reader(source);

  const std::int32_t magic = ReadInt32(reader, "the magic number");
  const std::int32_t size = ReadInt32(reader, "the payload size");
  if (magic == kPackMagic) {
    const std::int32_t length = ReadInt32(reader, "the header text length");
    if (length < 0 || length > kPackMaxHeaderText) {
      Damaged("the header text length " + std::to_string(length) + " is outside 0.." +
              std::to_string(kPackMaxHeaderText));
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    reader.ReadExact(text.data(), text.size(), "the header text");
    const std::size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    sPackHeaderText = plat::sys().AnsiToUtf8(text, 0);
  }

  if (size <= 0) return;
  const auto total = static_cast<std::size_t>(size);
  // Room for as much payload as the compressed data present can be expected
  // to give (deflate rarely shrinks data more than eightfold); a larger N is
  // not trusted ahead of its bytes: the stream grows as they arrive.
  destination.Reserve(std::min(total, kReserveRatio * source.Size()));
  std::size_t done = 0;
  std::unique_ptr<std::uint8_t[]> chunk(new std::uint8_t[kPackChunk]);
  while (done < total) {
    const std::size_t n = std::min(total - done, kPackChunk);
    const std::size_t got = reader.Read(chunk.get(), n);
    destination.Write(chunk.get(), got);
    done += got;
    if (got < n) reader.EndedEarly("the payload", done, total);
  }
}

std::vector<std::uint8_t> UnpackBytes(const std::vector<std::uint8_t>& packed) {
  MemoryStream source(packed);
  MemoryStream destination;
  UnpackStream(source, destination);
  return destination.TakeBytes();
}
