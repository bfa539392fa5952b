// The integer of a token and resource identifiers through #define records.
#include "platform/platform.h"
#include "script_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace skin::test {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(IntegerOfToken, Decimal) {
    struct Case {
        std::u16string token;
        std::int32_t value;
    };
    const Case cases[] = {
        {u"0", 0},
        {u"123", 123},
        {u"007", 7}, // no octal form
        {u"  42", 42},
        {u"+7", 7},
        {u"-7", -7},
        {u" -5", -5},
        {u"-0", 0},
        {u"2147483647", kMax},
        {u"-2147483648", kMin},
        {u"0000000000002147483647", kMax}, // leading zeros do not count
        {u"2147483648", 0},
        {u"-2147483649", 0},
        {u"99999999999", 0},
        {u"4294967296", 0}, // would wrap to 0 in 32 bits
        {u"4294967301", 0}, // would wrap to 5
        {u"", 0},
        {u" ", 0},
        {u"-", 0},
        {u"+", 0},
        {u"10h", 0},
        {u"B", 0},
        {u"1 ", 0}, // nothing may follow
        {u"1.5", 0},
        {u"1,5", 0},
        {u"- 5", 0},
        {u"+-5", 0},
        {u"--5", 0},
        {u"\t5", 0},   // only spaces are skipped
        {u"\"7\"", 0}, // quotes are the caller's to remove
    };
    for (const auto& c : cases)
        EXPECT_EQ(IntegerOfToken(c.token), c.value) << Show(c.token);
}

// Numbers are read from the token's ANSI form: a character the code page has no
// byte for cannot pass for a digit unless the code page maps it to one (the
// Windows conversion maps full-width digits to ASCII ones; the POSIX table
// gives "?").
TEST(IntegerOfToken, ReadsTheAnsiFormOfTheToken) {
    const std::u16string tokens[] = {u"\uFF11\uFF12", u"\u0661", u"$\uFF21", u"1\u0431",
                                     u"\u00A07"};
    for (const auto& token : tokens) {
        const std::u16string ansiForm = platform::AnsiToUtf16(platform::Utf16ToAnsi(token));
        EXPECT_EQ(IntegerOfToken(token), IntegerOfToken(ansiForm)) << Show(token);
    }
#ifndef _WIN32
    EXPECT_EQ(IntegerOfToken(u"\uFF11\uFF12"), 0);
#endif
    EXPECT_EQ(IntegerOfToken(u"1\u0431"), 0); // a Cyrillic letter stays a letter
}

TEST(IntegerOfToken, Hexadecimal) {
    struct Case {
        std::u16string token;
        std::int32_t value;
    };
    const Case cases[] = {
        {u"$10", 16},
        {u"x10", 16},
        {u"X10", 16},
        {u"0x10", 16},
        {u"0X10", 16},
        {u"$fF", 255},
        {u"0xAbCdEf", 0xABCDEF},
        {u"$7FFFFFFF", kMax},
        {u"$FFFFFFFF", -1},
        {u"$80000000", kMin},
        {u"-$10", -16},
        {u"+0x10", 16},
        {u"  $1", 1},
        {u"-$80000000", kMin},
        {u"-0xFFFFFFFF", 1},
        {u"$0000000010", 16}, // leading zeros are not significant
        {u"$100000000", 0},   // nine significant digits
        {u"$", 0},
        {u"0x", 0},
        {u"x", 0},
        {u"$g", 0},
        {u"0x0x5", 0},
        {u"0x-5", 0},
        {u"$ 1", 0},
        {u"$1 ", 0},
        {u"00x5", 0},
        {u"$$1", 0},
        {u"0x10h", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IntegerOfToken(c.token), c.value) << Show(c.token);
}

// Both look-ups: over the list, and through the table the build uses.
std::int32_t ResolvedBoth(const std::u16string& key, const Defines& defines) {
    DefineTable table;
    for (const TDefineRecord& record : defines)
        table.Add(record);
    const std::int32_t listed = ResolveResourceId(key, defines);
    EXPECT_EQ(table.Resolve(key), listed) << Show(key);
    return listed;
}

TEST(ResolveResourceId, PositiveNumbersAreNeverLookedUp) {
    const Defines defines{{u"5", 9}, {u"0x10", 3}};
    EXPECT_EQ(ResolvedBoth(u"5", defines), 5);
    EXPECT_EQ(ResolvedBoth(u"0x10", defines), 16);
    EXPECT_EQ(ResolvedBoth(u"70000", defines), 70000); // out of range is the caller's
}

TEST(ResolveResourceId, OtherKeysAreLookedUpByName) {
    const Defines defines{{u"A", 5}, {u"A", 9}, {u"0", 12}, {u"-5", 3}, {u"neg", -4}};
    EXPECT_EQ(ResolvedBoth(u"A", defines), 5); // the first record wins
    EXPECT_EQ(ResolvedBoth(u"a", defines), 0); // names are case-sensitive
    EXPECT_EQ(ResolvedBoth(u"0", defines), 12);
    EXPECT_EQ(ResolvedBoth(u"-5", defines), 3);
    EXPECT_EQ(ResolvedBoth(u"neg", defines), -4);
    EXPECT_EQ(ResolvedBoth(u"B", defines), 0);
    EXPECT_EQ(ResolvedBoth(u"\"A\"", defines), 0); // the key keeps its quotes
    EXPECT_EQ(ResolvedBoth(u"-7", defines), -7);   // not found: the number stays
    EXPECT_EQ(ResolvedBoth(u"0", Defines{}), 0);
    EXPECT_EQ(ResolvedBoth(u"", defines), 0);
}

} // namespace
} // namespace skin::test
