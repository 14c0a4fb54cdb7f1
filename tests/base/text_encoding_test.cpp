#include "base/text_encoding.h"

#include <gtest/gtest.h>

namespace slabrip {
namespace {

TEST(DecodeText, KeepsUtf8AndRecordsBomAndLineBreaks) {
  TTextFormat format;
  EXPECT_EQ(DecodeText("a=\xC3\xA9\r\nb=1\r\n", format), "a=\xC3\xA9\r\nb=1\r\n");
  EXPECT_EQ(format.Encoding, TTextEncoding::Utf8);
  EXPECT_TRUE(format.CrLf);
  EXPECT_EQ(DecodeText("\xEF\xBB\xBFx\n", format), "x\n");
  EXPECT_EQ(format.Encoding, TTextEncoding::Utf8Bom);
  EXPECT_FALSE(format.CrLf);
}

TEST(DecodeText, ReadsInvalidUtf8AsWindows1252) {
  TTextFormat format;
  // "Café €5" in Windows-1252.
  EXPECT_EQ(DecodeText("Caf\xE9 \x80"
                       "5",
                       format),
            "Caf\xC3\xA9 \xE2\x82\xAC"
            "5");
  EXPECT_EQ(format.Encoding, TTextEncoding::Windows1252);
}

TEST(DecodeText, EveryWindows1252ByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  TTextFormat format;
  const std::string utf8 = DecodeText(all, format);
  ASSERT_EQ(format.Encoding, TTextEncoding::Windows1252);
  EXPECT_EQ(EncodeText(utf8, format.Encoding), all);
}

TEST(DecodeText, RejectsOverlongAndTruncatedSequencesAsUtf8) {
  TTextFormat format;
  DecodeText("\xC0\xAF", format);  // overlong '/'
  EXPECT_EQ(format.Encoding, TTextEncoding::Windows1252);
  DecodeText("ab\xE2\x82", format);  // cut short at the end
  EXPECT_EQ(format.Encoding, TTextEncoding::Windows1252);
  DecodeText("\xED\xA0\x80", format);  // surrogate
  EXPECT_EQ(format.Encoding, TTextEncoding::Windows1252);
}

TEST(EncodeText, MarksCharactersWindows1252LacksAndRestoresTheBom) {
  EXPECT_EQ(EncodeText("\xE2\x86\x92x", TTextEncoding::Windows1252), "?x");  // U+2192
  EXPECT_EQ(EncodeText("x", TTextEncoding::Utf8Bom), "\xEF\xBB\xBFx");
}

TEST(SplitLines, SplitsAtCrLfLfAndLoneCr) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\n\nb\n"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(SplitLines("").empty());
}

}  // namespace
}  // namespace slabrip
