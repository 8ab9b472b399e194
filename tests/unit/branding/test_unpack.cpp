#include <gtest/gtest.h>

#include "common/errors.h"
#include "launcher/unPack.h"
#include "tests/unit/branding/helpers.h"
#include "tests/unit/sim_fixture.h"

using namespace bt;

namespace {

Bytes Pattern(std::size_t n) {
  Bytes b(n);
  std::uint32_t x = 12345;
  for (auto& c : b) c = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 24);
  return b;
}

std::string UnpackError(const Bytes& packed) {
  try {
    UnpackBytes(packed);
  } catch (const EAppError& e) {
    return e.Message();
  }
  return "(no error)";
}

class Unpack : public SimTest {};

TEST_F(Unpack, MagicFormGivesHeaderTextAndPayload) {
  const Bytes payload = Str("the payload");
  // cp1252 text (0xE9 is e-acute, 0x80 the euro sign), cut at its first zero byte.
  const Bytes text = Cat({Str("Caf\xE9 \x80"), Bytes{0}, Str("ignored")});
  EXPECT_EQ(UnpackBytes(Deflate(Content(kPackMagic, 11, text, payload))), payload);
  EXPECT_EQ(sPackHeaderText, "Café €");

  // Decoded with the system's ANSI code page, whatever it is.
  m.SetAnsiCodePage(20127);
  UnpackBytes(Deflate(Content(kPackMagic, 0, Str("Caf\xE9"), {})));
  EXPECT_EQ(sPackHeaderText, "Caf\xEF\xBF\xBD");

  UnpackBytes(Deflate(Content(kPackMagic, 0, Bytes{}, {})));
  EXPECT_EQ(sPackHeaderText, "");
}

TEST_F(Unpack, OtherFirstWordsMeanNoHeaderText) {
  const Bytes payload = Str("PAYLOAD");
  for (std::int32_t first : {0, -1, kPackMagic + 1, kPackMagic - 1, 0x02D29649}) {
    SCOPED_TRACE(first);
    sPackHeaderText = "left over";
    // The payload starts at offset 8 even when the next bytes look like L.
    EXPECT_EQ(UnpackBytes(Deflate(Content(first, 7, std::nullopt, payload))), payload);
    EXPECT_EQ(sPackHeaderText, "");
  }
}

TEST_F(Unpack, ZeroOrNegativeSizeCopiesNothing) {
  for (std::int32_t n : {0, -1, -51200, INT32_MIN}) {
    SCOPED_TRACE(n);
    EXPECT_TRUE(UnpackBytes(Deflate(Content(7, n, std::nullopt, {}))).empty());
    EXPECT_TRUE(UnpackBytes(Deflate(Content(kPackMagic, n, Str("t"), Str("more")))).empty());
    EXPECT_EQ(sPackHeaderText, "t");
  }
}

TEST_F(Unpack, PayloadInChunksAroundTheBufferSize) {
  for (std::size_t n : {std::size_t{1}, kPackChunk - 1, kPackChunk, kPackChunk + 1,
                        3 * kPackChunk + 17, 2 * kPackChunk}) {
    SCOPED_TRACE(n);
    const Bytes payload = Pattern(n);
    EXPECT_EQ(UnpackBytes(Deflate(Content(kPackMagic, static_cast<std::int32_t>(n), Str("h"), payload))),
              payload);
  }
}

TEST_F(Unpack, ReadsNoFurtherThanThePayload) {
  const Bytes payload = Pattern(3 * kPackChunk + 5);
  const auto n = static_cast<std::int32_t>(payload.size());
  Bytes content = Content(kPackMagic, n, Str("x"), payload);
  content.insert(content.end(), 100000, 0xEE);  // trailing bytes

  // Neither the stream's end nor its check value is needed ...
  EXPECT_EQ(UnpackBytes(Deflate(content, /*finish=*/false)), payload);
  // ... a wrong check value behind the payload does not matter ...
  Bytes bad = Deflate(Content(kPackMagic, n, Str("x"), payload));
  bad.back() ^= 0xFF;
  EXPECT_EQ(UnpackBytes(bad), payload);
  // ... and neither do bytes after the zlib stream.
  Bytes extra = Deflate(content);
  extra.insert(extra.end(), {1, 2, 3, 4, 5});
  EXPECT_EQ(UnpackBytes(extra), payload);
}

TEST_F(Unpack, ContentEndingEarlyIsReportedByField) {
  struct Case {
    const char* name;
    Bytes content;
    const char* message;
  };
  const Bytes full = Content(kPackMagic, 100, Str("0123456789"), Pattern(100));
  const Case cases[] = {
      {"empty", {}, "ends before the magic number"},
      {"inside magic", Bytes(full.begin(), full.begin() + 2), "ends inside the magic number (after 2 of 4 bytes)"},
      {"before N", Bytes(full.begin(), full.begin() + 4), "ends before the payload size"},
      {"inside N", Bytes(full.begin(), full.begin() + 7), "ends inside the payload size"},
      {"before L", Bytes(full.begin(), full.begin() + 8), "ends before the header text length"},
      {"inside text", Bytes(full.begin(), full.begin() + 15), "ends inside the header text (after 3 of 10 bytes)"},
      {"before payload", Bytes(full.begin(), full.begin() + 22), "ends before the payload"},
      {"inside payload", Bytes(full.begin(), full.end() - 60), "ends inside the payload (after 40 of 100 bytes)"},
      {"no magic, inside payload", Content(1, 100, std::nullopt, Pattern(99)), "after 99 of 100 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string m = UnpackError(Deflate(c.content));
    EXPECT_NE(m.find("The packed data is damaged: the content "), std::string::npos) << m;
    EXPECT_NE(m.find(c.message), std::string::npos) << m;
  }
}

TEST_F(Unpack, CutOffCompressedDataIsReported) {
  const Bytes packed = Deflate(Content(kPackMagic, 200000, Str("h"), Pattern(200000)));
  for (std::size_t keep : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{9}, packed.size() / 2,
                           packed.size() - 30}) {
    SCOPED_TRACE(keep);
    const std::string m = UnpackError(Bytes(packed.begin(), packed.begin() + keep));
    EXPECT_NE(m.find("the compressed data is cut off"), std::string::npos) << m;
  }
}

TEST_F(Unpack, DamagedZlibDataCarriesZlibsMessage) {
  struct Case {
    Bytes packed;
    const char* message;
  };
  const Case cases[] = {
      {Str("BM this is not a zlib stream"), "zlib: incorrect header check"},
      {{0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF}, "zlib: invalid block type"},
      {{0x78, 0xBB, 0, 0, 0, 1}, "zlib: the stream needs a preset dictionary"},
      {{0x88, 0x98}, "zlib: invalid window size"},
  };
  for (const Case& c : cases) {
    const std::string m = UnpackError(c.packed);
    EXPECT_EQ(m, std::string("The packed data is damaged: ") + c.message);
  }
}

TEST_F(Unpack, HeaderTextLengthOutsideLimitIsDamage) {
  const Bytes longest(kPackMaxHeaderText, 'a');
  EXPECT_EQ(UnpackBytes(Deflate(Content(kPackMagic, 2, longest, Str("ok")))), Str("ok"));
  EXPECT_EQ(sPackHeaderText.size(), static_cast<std::size_t>(kPackMaxHeaderText));

  EXPECT_EQ(UnpackError(Deflate(Content(kPackMagic, 2, Bytes(kPackMaxHeaderText + 1, 'a'), Str("ok")))),
            "The packed data is damaged: the header text length 51202 is outside 0..51201");
  Bytes negative = Cat({Le32(kPackMagic), Le32(2), Le32(0xFFFFFFFFu), Str("ok")});
  EXPECT_NE(UnpackError(Deflate(negative)).find("length -1 is outside"), std::string::npos);
}

TEST_F(Unpack, HugeDeclaredSizeAllocatesOnlyWhatArrives) {
  MemoryStream source(Deflate(Content(0, INT32_MAX, std::nullopt, Pattern(1000))));
  MemoryStream destination;
  try {
    UnpackStream(source, destination);
    FAIL() << "no error";
  } catch (const EAppError& e) {
    EXPECT_NE(e.Message().find("after 1000 of 2147483647 bytes"), std::string::npos) << e.Message();
  }
  EXPECT_LT(destination.Bytes().capacity(), std::size_t{1} << 20);
}

TEST_F(Unpack, StreamsAreRewoundAndDestinationWrittenFromItsStart) {
  MemoryStream source(Deflate(Content(0, 3, std::nullopt, Str("abc"))));
  source.SetPosition(source.Size());
  MemoryStream destination(Str("0123456789"));
  destination.SetPosition(7);
  UnpackStream(source, destination);
  EXPECT_EQ(destination.Bytes(), Str("abc3456789"));
  EXPECT_EQ(destination.Position(), 3u);
}

TEST(MemoryStreamTest, ReadsAndWritesAtThePosition) {
  MemoryStream s;
  s.Write("hello", 5);
  s.SetPosition(7);  // writing past the end fills the gap with zeros
  s.Write("!", 1);
  EXPECT_EQ(s.Bytes(), Cat({Str("hello"), Bytes{0, 0}, Str("!")}));
  s.SetPosition(3);
  char buf[10];
  EXPECT_EQ(s.Read(buf, sizeof buf), 5u);
  EXPECT_EQ(std::string(buf, 2), "lo");
  EXPECT_EQ(s.Read(buf, 1), 0u);
  s.SetPosition(100);
  EXPECT_EQ(s.Read(buf, 1), 0u);
}

}  // namespace
