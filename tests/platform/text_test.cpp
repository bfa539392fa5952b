// Text conversions and the two name comparisons.
#include "platform/platform.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// The ANSI code page is Windows-1251 on POSIX and, on Windows, on systems set
// up for language 1049, the one every skin script is written in.
bool AnsiIsCyrillic() {
#ifdef _WIN32
    return GetACP() == 1251;
#else
    return true;
#endif
}

TEST(Ansi, CyrillicRoundTrip) {
    if (!AnsiIsCyrillic())
        GTEST_SKIP() << "the system's ANSI code page is not 1251";
    const std::string bytes = "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xB8 \xB9";
    const std::u16string text = u"\u041f\u0440\u0438\u0432\u0435\u0442, \u0401\u0451 \u2116";
    EXPECT_EQ(platform::AnsiToUtf16(bytes), text);
    EXPECT_EQ(platform::Utf16ToAnsi(text), bytes);
    EXPECT_EQ(platform::AnsiToUtf16("\xCF\xF0\xE8"), u"\u041f\u0440\u0438");
    EXPECT_EQ(platform::Utf16ToAnsi(u"\u041f\u0440\u0438"), "\xCF\xF0\xE8");
    // Every byte except the one hole of the code page comes back unchanged.
    for (int b = 0x80; b < 0x100; ++b) {
        if (b == 0x98)
            continue;
        std::string one(1, static_cast<char>(b));
        EXPECT_EQ(platform::Utf16ToAnsi(platform::AnsiToUtf16(one)), one) << "byte " << b;
    }
}

TEST(Ansi, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    if (!AnsiIsCyrillic())
        GTEST_SKIP() << "the system's ANSI code page is not 1251";
    EXPECT_EQ(platform::Utf16ToAnsi(u"a\u4e2db"), "a?b");
    // Each code unit of a character beyond the BMP gives a mark, as Windows does.
    EXPECT_EQ(platform::Utf16ToAnsi(u"x\U0001F600y"), "x??y");
#ifndef _WIN32
    // 0x98 has no character in Windows-1251.
    EXPECT_EQ(platform::AnsiToUtf16("a\x98z"), u"a\uFFFDz");
    EXPECT_EQ(platform::Utf16ToAnsi(u"\uFFFD"), "?");
#endif
}

#ifdef _WIN32
// On a Western system the same calls follow its code page, Windows-1252.
TEST(Ansi, FollowsTheSystemsCodePage) {
    if (GetACP() != 1252)
        GTEST_SKIP() << "the system's ANSI code page is not 1252";
    EXPECT_EQ(platform::AnsiToUtf16("caf\xE9 \x80"), u"caf\u00e9 \u20ac");
    EXPECT_EQ(platform::Utf16ToAnsi(u"caf\u00e9 \u20ac"), "caf\xE9 \x80");
    EXPECT_EQ(platform::Utf16ToAnsi(u"\u041f"), "?");
}
#endif

TEST(Ansi, AsciiAndEmptyPassThrough) {
    EXPECT_EQ(platform::AnsiToUtf16(""), u"");
    EXPECT_EQ(platform::Utf16ToAnsi(u""), "");
    EXPECT_EQ(platform::AnsiToUtf16("IDS_HELLO \"x\"\t1"), u"IDS_HELLO \"x\"\t1");
    EXPECT_EQ(platform::Utf16ToAnsi(u"$kiv$res$00001a2b$"), "$kiv$res$00001a2b$");
    std::string withNul("a\0b", 3);
    EXPECT_EQ(platform::AnsiToUtf16(withNul), std::u16string(u"a\0b", 3));
}

TEST(Utf8, WellFormedTextRoundTrips) {
    const std::u16string text = u"A\u00e9\u041f\u20ac\U0001F600\U0010FFFF";
    const std::string bytes = "A\xC3\xA9\xD0\x9F\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF";
    EXPECT_EQ(platform::Utf16ToUtf8(text), bytes);
    EXPECT_EQ(platform::Utf8ToUtf16(bytes), text);
    EXPECT_EQ(platform::Utf8ToUtf16(""), u"");
    EXPECT_EQ(platform::Utf16ToUtf8(u""), "");
}

TEST(Utf8, UnpairedSurrogatesBecomeReplacements) {
    const std::string r = "\xEF\xBF\xBD";
    EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), r);
    EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(1, char16_t(0xDC00))), r);
    std::u16string mixed = u"a";
    mixed += char16_t(0xD83D); // high surrogate followed by a plain letter
    mixed += u"b";
    mixed += char16_t(0xDE00); // low surrogate without a high one
    mixed += char16_t(0xD83D);
    mixed += char16_t(0xDE00); // a proper pair
    EXPECT_EQ(platform::Utf16ToUtf8(mixed), "a" + r + "b" + r + "\xF0\x9F\x98\x80");
}

TEST(Utf8, IllFormedBytesBecomeReplacements) {
    const std::u16string r = u"\uFFFD";
    EXPECT_EQ(platform::Utf8ToUtf16("a\x80z"), u"a" + r + u"z"); // stray continuation
    EXPECT_EQ(platform::Utf8ToUtf16("\xC0\x80"), r + r);         // overlong NUL
    EXPECT_EQ(platform::Utf8ToUtf16("\xE2\x82"), r);             // cut short at the end
    EXPECT_EQ(platform::Utf8ToUtf16("\xE2\x82z"), r + u"z");     // cut short before a letter
    EXPECT_EQ(platform::Utf8ToUtf16("\xED\xA0\x80"), r + r + r); // an encoded surrogate
    EXPECT_EQ(platform::Utf8ToUtf16("\xF4\x90\x80\x80"), r + r + r + r); // past U+10FFFF
    EXPECT_EQ(platform::Utf8ToUtf16("\xFF\xFE"), r + r);
    EXPECT_EQ(platform::Utf8ToUtf16("\xF0\x9F\x98"), r);
}

TEST(Compare, KeywordsIgnoreCase) {
    EXPECT_TRUE(platform::KeywordEquals(u"ICON", u"icon"));
    EXPECT_TRUE(platform::KeywordEquals(u"RcData", u"RCDATA"));
    EXPECT_TRUE(platform::KeywordEquals(u"#define", u"#DEFINE"));
    EXPECT_TRUE(platform::KeywordEquals(u"", u""));
    EXPECT_FALSE(platform::KeywordEquals(u"ICON", u"ICONS"));
    EXPECT_FALSE(platform::KeywordEquals(u"ICON", u"ICO"));
    EXPECT_FALSE(platform::KeywordEquals(u"ICON", u"IC0N"));
    EXPECT_FALSE(platform::KeywordEquals(u"ICON", u""));
    // '@' and '`' sit next to the letters but are no letters.
    EXPECT_FALSE(platform::KeywordEquals(u"@", u"`"));
    EXPECT_FALSE(platform::KeywordEquals(u"[", u"{"));
}

TEST(Compare, DefineNamesKeepCase) {
    EXPECT_TRUE(platform::DefineNameEquals(u"IDI_MAIN", u"IDI_MAIN"));
    EXPECT_FALSE(platform::DefineNameEquals(u"IDI_MAIN", u"idi_main"));
    EXPECT_FALSE(platform::DefineNameEquals(u"IDI_MAIN", u"IDI_MAIN2"));
    EXPECT_FALSE(platform::DefineNameEquals(u"A", u"B"));
    EXPECT_TRUE(platform::DefineNameEquals(u"", u""));
}

TEST(Decimal, EveryDigitCountAndTheLargestValue) {
    EXPECT_EQ(platform::Decimal(0), u"0");
    EXPECT_EQ(platform::Decimal(10), u"10");
    EXPECT_EQ(platform::Decimal(65535), u"65535");
    EXPECT_EQ(platform::Decimal(UINT64_MAX), u"18446744073709551615");
    std::u16string out = u"line ";
    platform::AppendDecimal(out, 7);
    EXPECT_EQ(out, u"line 7");
}

} // namespace
