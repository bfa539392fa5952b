// Tokens of a line, unquoting and backslash reduction.
#include "script_test_support.h"

#include <gtest/gtest.h>

namespace skin::test {
namespace {

TEST(NextToken, CutsAtTabsAndSpacesOnlyWithOneBasedPositions) {
    struct Case {
        std::u16string line;
        std::size_t start;
        std::string token;
        std::size_t finish;
    };
    const Case cases[] = {
        {u"ab cd", 1, "ab", 3},
        {u"ab cd", 4, "cd", 6}, // finish one past the end
        {u"ab cd", 3, "cd", 6}, // leading separators are skipped
        {u"ab\tcd", 1, "ab", 3},
        {u"  \t ab", 1, "ab", 7},
        {u"a,b c", 1, "a,b", 4},        // a comma is part of the token
        {u"a\vb c", 1, "a\\u000Bb", 4}, // so is any other control character
        {u"{x} y", 1, "{x}", 4},
        {u"", 1, "", 1},
        {u"   ", 1, "", 4},     // nothing but separators
        {u"ab", 3, "", 3},      // start one past the end
        {u"ab", 10, "", 10},    // or far past it
        {u"ab cd", 0, "ab", 3}, // 0 is taken as the first position
    };
    for (const auto& c : cases) {
        const Token token = NextToken(c.line, c.start);
        EXPECT_EQ(Show(token.text), c.token) << Show(c.line) << " @" << c.start;
        EXPECT_EQ(token.finish, c.finish) << Show(c.line) << " @" << c.start;
    }
}

TEST(NextToken, QuotesStayInTheTokenAndProtectSeparators) {
    struct Case {
        std::u16string line;
        std::string token;
        std::size_t finish;
    };
    const Case cases[] = {
        {u"\"a b\" c", "\"a b\"", 6},
        {u"x\" y\"z w", "x\" y\"z", 7}, // quotes anywhere in the token
        {u"\"a b c", "\"a b c", 7},     // never closed: to the end
        {u"\"\" x", "\"\"", 3},
        {u"a\"\"b c", "a\"\"b", 5},
        {u"\"a\"\"b c\" d", "\"a\"\"b c\"", 9}, // a doubled quote toggles twice
    };
    for (const auto& c : cases) {
        const Token token = NextToken(c.line, 1);
        EXPECT_EQ(Show(token.text), c.token) << Show(c.line);
        EXPECT_EQ(token.finish, c.finish) << Show(c.line);
    }
}

TEST(UnquoteToken, ExtractsTheQuotedText) {
    struct Case {
        std::u16string token;
        std::string text;
    };
    const Case cases[] = {
        {u"abc", "abc"}, // no opening quote: unchanged
        {u"a\"b\"", "a\"b\""},
        {u"", ""},
        {u"\"abc\"", "abc"},
        {u"\"Hello \"\"world\"\"\"", "Hello \"world\""},
        {u"\"abc\"def", "abc"},  // after the closing quote: dropped
        {u"\"a b\"\"", "a b\""}, // a pair at the end, then unclosed
        {u"\"\"", ""},           // exactly two quotes: empty
        {u"\"\"x", "\"\"x"},     // empty text otherwise: the token
        {u"\"\" ", "\"\" "},
        {u"\"\"\"\"", "\""}, // one pair inside
        {u"\"\"\"\"\"\"", "\"\""},
        {u"\"abc", "abc"}, // unclosed: the rest of the token
        {u"\"a", "a"},
        {u"\"path", "path"},
        {u"\"a\"\"b", "a\"b"}, // unclosed with a pair inside
        {u"\"\"\"", "\""},     // three quotes: one pair, unclosed
        {u"\"", "\""},         // nothing after the quote: the token
    };
    for (const auto& c : cases)
        EXPECT_EQ(Show(UnquoteToken(c.token)), c.text) << Show(c.token);
}

TEST(ReduceBackslashes, PairsBecomeOneLeftToRight) {
    struct Case {
        std::u16string text;
        std::string reduced;
    };
    const Case cases[] = {
        {u"", ""},
        {u"a\\b", "a\\b"},
        {u"a\\\\b", "a\\b"},
        {u"a\\\\\\b", "a\\\\b"},     // three become two
        {u"a\\\\\\\\b", "a\\\\b"},   // four become two
        {u"\\\\\\\\\\\\", "\\\\\\"}, // six become three
        {u"a\\nb", "a\\nb"},         // no other escapes
        {u"\\\\", "\\"},
        {u"x\\", "x\\"}, // a single one at the end stays
        {u"icons\\\\a b.ico", "icons\\a b.ico"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Show(ReduceBackslashes(c.text)), c.reduced) << Show(c.text);
}

} // namespace
} // namespace skin::test
