// The one UTF-8 module every layer uses: well-formed text round-trips, and every kind of bad
// byte is one character decoded as U+FFFD, the same for decoding, counting and cutting.
#include "bridges/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace ledgerix {
namespace {

std::u32string DecodeAll(std::string_view s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) out.push_back(NextCodePoint(s, i));
  return out;
}

TEST(Utf8, WellFormedTextRoundTrips) {
  const std::u32string points = {U'a', 0x7F, 0x80, 0x7FF, 0x800, U'利', 0xFFFF, 0x10000, 0x10FFFF};
  std::string encoded;
  for (char32_t cp : points) AppendUtf8(encoded, cp);
  EXPECT_EQ(encoded.size(), 1u + 1 + 2 + 2 + 3 + 3 + 3 + 4 + 4);
  EXPECT_TRUE(IsValidUtf8(encoded));
  EXPECT_EQ(DecodeAll(encoded), points);
  EXPECT_EQ(Utf8Characters(encoded).size(), points.size());
}

TEST(Utf8, EveryBadByteIsOneReplacementCharacter) {
  struct Case {
    const char* why;
    std::string bytes;
  } cases[] = {
      {"stray continuation byte", "\x80"},
      {"invalid lead byte", "\xFF"},
      {"sequence cut short", "\xE5\x88"},
      {"lead byte followed by ASCII",
       "\xE5"
       "A"},
      {"overlong slash", "\xC0\xAF"},
      {"overlong three-byte form", "\xE0\x80\xAF"},
      {"encoded surrogate", "\xED\xA0\x80"},
      {"past U+10FFFF", "\xF4\x90\x80\x80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const std::string text = "x" + c.bytes + "y";
    EXPECT_FALSE(IsValidUtf8(text));
    const std::u32string decoded = DecodeAll(text);
    // The first bad byte is one U+FFFD; what follows is read afresh from the next byte.
    ASSERT_GE(decoded.size(), 3u);
    EXPECT_EQ(decoded[1], kReplacementCharacter);
    EXPECT_EQ(decoded.back(), U'y');
    EXPECT_EQ(Utf8CharacterLength(text, 1), 1u);
    // Splitting and cutting agree with decoding on where characters start.
    const std::vector<std::string_view> chars = Utf8Characters(text);
    EXPECT_EQ(chars.size(), decoded.size());
    EXPECT_EQ(chars[1], text.substr(1, 1));
    EXPECT_EQ(FirstUtf8Characters(text, 2), text.substr(0, 2));
  }
}

TEST(Utf8, CuttingCountsCharactersNotBytes) {
  const std::string text = "利润表abc";
  EXPECT_EQ(FirstUtf8Characters(text, 2), "利润");
  EXPECT_EQ(FirstUtf8Characters(text, 4), "利润表a");
  EXPECT_EQ(FirstUtf8Characters(text, 99), text);
  EXPECT_EQ(FirstUtf8Characters(text, 0), "");
}

TEST(Utf8, TheEncoderRefusesWhatIsNoCharacter) {
  std::string out;
  AppendUtf8(out, 0xD800);
  AppendUtf8(out, 0xDFFF);
  AppendUtf8(out, 0x110000);
  EXPECT_EQ(out, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Utf8, Utf16KeepsAstralCharactersAsPairs) {
  EXPECT_EQ(Utf8ToUtf16("a利\xF0\x9F\x98\x80"), (std::u16string{u'a', u'利', 0xD83D, 0xDE00}));
  EXPECT_EQ(Utf8ToUtf16("a\xFF"), (std::u16string{u'a', 0xFFFD}));
}

}  // namespace
}  // namespace ledgerix
