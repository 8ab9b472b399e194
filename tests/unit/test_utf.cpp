#include <gtest/gtest.h>

#include "common/utf.h"

namespace {

TEST(Utf, RoundTripsThroughRegistryForm) {
  for (const std::string s : {"", "abc", "整体快速安装", "繁體中文", "𠀀x€"}) {
    SCOPED_TRACE(s);
    const auto bytes = utf::ToRegSz(s);
    EXPECT_EQ(bytes.size(), (utf::ToUtf16(s).size() + 1) * 2);
    EXPECT_EQ(utf::FromRegBytes(bytes.data(), bytes.size()), s);
  }
  EXPECT_EQ(utf::ToUtf16("𠀀").size(), 2u);  // a surrogate pair
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(utf::FromUtf16(utf::ToUtf16("a\xff" "b")), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(utf::FromUtf16(utf::ToUtf16("\xE6\xB1")), "\xEF\xBF\xBD");  // cut short
  EXPECT_EQ(utf::FromUtf16(utf::ToUtf16("\xC0\x80")), "\xEF\xBF\xBD");  // overlong
  EXPECT_EQ(utf::FromUtf16(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
}

}  // namespace
