// UTF-8 and UTF-16 at the edges: what comes in from a Linux command line or file name, and
// what goes out to a terminal or pipe.
#include <gtest/gtest.h>

#include "text_convert.h"

namespace vek {
namespace {

TEST(TextConvert, RoundTripsEveryKindOfCharacter) {
  const std::u16string text = u"a\u00e9\u3042\uff71\U0001F600\uFFFDz";
  EXPECT_EQ(Utf16ToUtf8(text), "a\xC3\xA9\xE3\x81\x82\xEF\xBD\xB1\xF0\x9F\x98\x80\xEF\xBF\xBDz");
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
}

TEST(TextConvert, LoneSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(Utf16ToUtf8(u"x\xDC00"), "x\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(u"\xDC00\xD800"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(TextConvert, InvalidUtf8BecomesReplacementCharactersWithoutLosingWhatFollows) {
  EXPECT_EQ(Utf8ToUtf16("\x82\xa0!"), u"\uFFFD\uFFFD!");          // CP932 bytes on Linux
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");            // overlong "/"
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // an encoded surrogate
  EXPECT_EQ(Utf8ToUtf16("\xE3\x81"), u"\uFFFD");                  // cut short at the end
  EXPECT_EQ(Utf8ToUtf16("\xE3\x81"
                        "a"),
            u"\uFFFDa");
  EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // past U+10FFFF
}

TEST(TextConvert, BytesThatAreNotUtf8SurviveTheRoundTrip) {
  const std::string name = "\x82\xa0\xE3\x81\x82\xFF\xE3\x81.vek";
  EXPECT_EQ(BytesToUtf16(name), u"\xDC82\xDCA0\u3042\xDCFF\xDCE3\xDC81.vek");
  EXPECT_EQ(Utf16ToUtf8(BytesToUtf16(name)), name);
}

TEST(TextConvert, AppendKeepsWhatIsThere) {
  std::string out = "head:";
  AppendUtf8(u"\u554F", out);
  AppendUtf8(u"", out);
  EXPECT_EQ(out, "head:\xE5\x95\x8F");
}

}  // namespace
}  // namespace vek
