#include "platform/rtl/StrUtils.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const std::u16string FFFD = u"\uFFFD";

std::u16string Repeat(const std::u16string& S, int N) {
  std::u16string r;
  for (int i = 0; i < N; ++i) r += S;
  return r;
}

}  // namespace

TEST(StrUtils, UTF8DecodesEveryLengthAndTheLimits) {
  EXPECT_EQ(UTF8ToUTF16("A\xC3\xA9\xE2\x82\xAC"), u"A\u00E9\u20AC");
  // Astral code points become surrogate pairs.
  EXPECT_EQ(UTF8ToUTF16("\xF0\x9F\x98\x80"), std::u16string({0xD83D, 0xDE00}));
  EXPECT_EQ(UTF8ToUTF16("\xF4\x8F\xBF\xBF"), std::u16string({0xDBFF, 0xDFFF}));
  EXPECT_EQ(UTF8ToUTF16("\xF0\x90\x80\x80"), std::u16string({0xD800, 0xDC00}));
  EXPECT_EQ(UTF8ToUTF16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
  EXPECT_TRUE(IsValidUTF8("\xEF\xBF\xBF\xED\x9F\xBF\xEE\x80\x80"));  // U+FFFF, U+D7FF, U+E000
}

TEST(StrUtils, MalformedUTF8BecomesReplacementPerInvalidSubpart) {
  struct Case {
    const char* In;
    std::u16string Out;
  };
  const Case cases[] = {
      {"\x80", FFFD},                             // lone continuation
      {"a\xBF" "b", u"a\uFFFDb"},
      {"\xC0\xAF", Repeat(FFFD, 2)},              // overlong '/'
      {"\xC1\xBF", Repeat(FFFD, 2)},
      {"\xE0\x80\xAF", Repeat(FFFD, 3)},          // overlong 3-byte
      {"\xF0\x80\x80\xAF", Repeat(FFFD, 4)},      // overlong 4-byte
      {"\xED\xA0\x80", Repeat(FFFD, 3)},          // encoded high surrogate
      {"\xED\xBF\xBF", Repeat(FFFD, 3)},          // encoded low surrogate
      {"\xF4\x90\x80\x80", Repeat(FFFD, 4)},      // above U+10FFFF
      {"\xF5\x80\x80\x80", Repeat(FFFD, 4)},
      {"\xFF", FFFD},
      {"a\xE2\x82", u"a\uFFFD"},                  // truncated at the end
      {"\xF0\x9F\x98", FFFD},
      {"\xE2\x82z", u"\uFFFDz"},                  // cut short by an ASCII byte
      {"\xC3\xC3\xA9", u"\uFFFD\u00E9"},           // the breaking byte starts the next one
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.In)));
    EXPECT_EQ(UTF8ToUTF16(c.In), c.Out);
    EXPECT_FALSE(IsValidUTF8(c.In));
  }
}

TEST(StrUtils, EveryScalarValueRoundTrips) {
  std::u16string wide;
  std::string narrow;
  for (char32_t c = 1; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    if (c < 0x10000) {
      wide += static_cast<char16_t>(c);
    } else {
      wide += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      wide += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  narrow = UTF16ToUTF8(wide);
  EXPECT_TRUE(IsValidUTF8(narrow));
  EXPECT_EQ(UTF8ToUTF16(narrow), wide);
  EXPECT_EQ(narrow.size(), 0x7Fu + 0x780u * 2 + (0x10000u - 0x800u - 0x800u) * 3 + 0x100000u * 4);
}

TEST(StrUtils, UnpairedSurrogatesInUTF16BecomeReplacement) {
  const std::string r = "\xEF\xBF\xBD";
  EXPECT_EQ(UTF16ToUTF8(std::u16string({0xD800})), r);
  EXPECT_EQ(UTF16ToUTF8(std::u16string({0xDC00, 'a'})), r + "a");
  EXPECT_EQ(UTF16ToUTF8(std::u16string({0xD800, 'a'})), r + "a");
  EXPECT_EQ(UTF16ToUTF8(std::u16string({0xDC00, 0xD800})), r + r);
  EXPECT_EQ(UTF16ToUTF8(std::u16string({0xD800, 0xD800, 0xDC00})), r + "\xF0\x90\x80\x80");
}

TEST(StrUtils, Latin1RoundTripsAllByteValues) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  const std::string utf8 = Latin1ToUTF8(all);
  EXPECT_EQ(utf8.size(), 128u + 128u * 2);
  EXPECT_TRUE(IsValidUTF8(utf8));
  EXPECT_EQ(UTF8ToLatin1(utf8), all);
  const std::u16string wide = Latin1ToUTF16(all);
  ASSERT_EQ(wide.size(), 256u);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(wide[i], static_cast<char16_t>(i));
  EXPECT_TRUE(FitsLatin1(wide));
  EXPECT_EQ(UTF16ToLatin1(wide), all);
  EXPECT_EQ(UTF8ToUTF16(utf8), wide);
  EXPECT_EQ(Latin1ToUTF8("\xE9"), "\xC3\xA9");
}

TEST(StrUtils, Latin1ReplacesOneCharPerCodePoint) {
  // Euro sign (3 bytes), an emoji (4 bytes, a surrogate pair in UTF-16).
  EXPECT_EQ(UTF8ToLatin1("a\xE2\x82\xAC" "b\xF0\x9F\x98\x80" "c\xC3\xBF"), "a?b?c\xFF");
  EXPECT_EQ(UTF8ToLatin1("x\xE2\x82\xAC", '_'), "x_");
  EXPECT_EQ(UTF8ToLatin1("\xC0\xAF"), "??");
  EXPECT_EQ(UTF16ToLatin1(u"a\u20ACb\U0001F600c\u00FF"), "a?b?c\xFF");
  EXPECT_EQ(UTF16ToLatin1(std::u16string({0xD800, 'x'}), '#'), "#x");
  EXPECT_FALSE(FitsLatin1(u"ab\u0100"));
  EXPECT_TRUE(FitsLatin1(u""));
}

TEST(StrUtils, CaseHandlingIsAsciiOnly) {
  EXPECT_EQ(UpperCase("abz\xC3\xA9{`"), "ABZ\xC3\xA9{`");
  EXPECT_EQ(LowerCase("ABZ\xC3\x89@["), "abz\xC3\x89@[");
  EXPECT_TRUE(SameText("Track.MP3", "tRACK.mp3"));
  EXPECT_FALSE(SameText("\xC3\xA9", "\xC3\x89"));
  EXPECT_FALSE(SameText("abc", "abcd"));
  EXPECT_FALSE(SameText("@", "`"));  // differ by 0x20 but are not letters
}

TEST(StrUtils, TrimRemovesBlanksAndControlsAtBothEnds) {
  EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(Trim(" \t\n"), "");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("\xC2\xA0x"), "\xC2\xA0x");  // non-ASCII bytes stay
  EXPECT_EQ(Trim(std::u16string_view(u"  \u00E9 x\t")), u"\u00E9 x");
  EXPECT_EQ(Trim(std::u16string_view(u"\u3000a")), u"\u3000a");
}

TEST(StrUtils, StrToIntDefAcceptsDecimalOnly) {
  const int64_t Max = std::numeric_limits<int64_t>::max(), Min = std::numeric_limits<int64_t>::min();
  EXPECT_EQ(StrToIntDef("42", -1), 42);
  EXPECT_EQ(StrToIntDef("  -17\t", -1), -17);
  EXPECT_EQ(StrToIntDef("+5", -1), 5);
  EXPECT_EQ(StrToIntDef("007", -1), 7);
  EXPECT_EQ(StrToIntDef("9223372036854775807", -1), Max);
  EXPECT_EQ(StrToIntDef("-9223372036854775808", -1), Min);
  for (const char* bad : {"9223372036854775808", "-9223372036854775809", "99999999999999999999",
                          "18446744073709551616", "", "  ", "-", "+", "12a", "1 2", "0x10", "--1",
                          "1.5", "\xEF\xBC\x91"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(StrToIntDef(bad, 123), 123);
  }
  EXPECT_EQ(IntToStr(Min), "-9223372036854775808");
  EXPECT_EQ(StrToIntDef(IntToStr(Max), 0), Max);
}
