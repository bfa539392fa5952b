// Script bytes to text and text to lines: the four encodings, the NUL end,
// the line-break rules.
#include "platform/platform.h"
#include "script_test_support.h"

#include <gtest/gtest.h>

namespace skin::test {
namespace {

using Lines = std::vector<std::string>;

Lines LinesOf(std::u16string_view text) {
    return Show(SplitScriptLines(text));
}

TEST(ScriptLines, BreaksAtCrLfAndLineSeparator) {
    struct Case {
        std::u16string text;
        Lines lines;
    };
    const Case cases[] = {
        {u"", {}},
        {u"a", {"a"}},
        {u"a\rb", {"a", "b"}},
        {u"a\nb", {"a", "b"}},
        {u"a\u2028b", {"a", "b"}},
        {u"a\r\nb", {"a", "b"}},         // CR LF is one break
        {u"a\n\rb", {"a", "", "b"}},     // LF CR is two
        {u"a\r\n\u2028b", {"a", "b"}},   // CR, LF, U+2028 once each
        {u"a\n\u2028b", {"a", "b"}},     // LF then U+2028
        {u"a\r\u2028b", {"a", "b"}},     // CR then U+2028
        {u"a\u2028\nb", {"a", "", "b"}}, // U+2028 then LF: wrong order
        {u"a\u2028\rb", {"a", "", "b"}}, // U+2028 then CR: wrong order
        {u"a\r\rb", {"a", "", "b"}},     // one CR only per break
        {u"a\n\nb", {"a", "", "b"}},     // one LF only per break
        {u"a\r\n\r\nb", {"a", "", "b"}}, // an empty line between
        {u"a\r\n", {"a"}},               // no extra line at the end
        {u"a\n\n", {"a", ""}},           // but an empty line before it
        {u"\r\n", {""}},
        {u"\n", {""}},
        {u" a \t\r\nb", {" a \\u0009", "b"}}, // lines are not trimmed here
        {u"a\vb\fc", {"a\\u000Bb\\u000Cc"}},  // other controls break nothing
        {u"a\u2029b", {"a\\u2029b"}},         // paragraph separator is no break
    };
    for (const auto& c : cases)
        EXPECT_EQ(LinesOf(c.text), c.lines) << Show(c.text);
}

TEST(ScriptLines, NulEndsTheText) {
    EXPECT_EQ(LinesOf(std::u16string(u"a\nb\0c\nd", 7)), (Lines{"a", "b"}));
    EXPECT_EQ(LinesOf(std::u16string(u"\0a", 2)), Lines{});
    EXPECT_EQ(Show(DecodeScriptText(Utf16Le(std::u16string(u"ab\0cd", 5)))), "ab");
    EXPECT_EQ(Show(DecodeScriptText(Utf16Be(std::u16string(u"ab\0cd", 5)))), "ab");
    EXPECT_EQ(Show(DecodeScriptText(Utf8(std::u16string(u"ab\0cd", 5)))), "ab");
    EXPECT_EQ(Show(DecodeScriptText(Raw(std::string("ab\0cd", 5)))), "ab");
}

TEST(ScriptDecoding, MarkersPickTheEncoding) {
    const std::u16string text = u"1 \u041F\u0440\u0438\u0432\u0435\u0442 \u20AC\r\n2 x";
    EXPECT_EQ(Show(DecodeScriptText(Utf16Le(text))), Show(text));
    EXPECT_EQ(Show(DecodeScriptText(Utf16Be(text))), Show(text));
    EXPECT_EQ(Show(DecodeScriptText(Utf8(text))), Show(text));
    // A code unit whose two bytes differ shows a swapped byte order at once.
    EXPECT_EQ(Show(DecodeScriptText(Bytes{0xFE, 0xFF, 0x04, 0x1F})), "\\u041F");
    EXPECT_EQ(Show(DecodeScriptText(Bytes{0xFF, 0xFE, 0x04, 0x1F})), "\\u1F04");
}

TEST(ScriptDecoding, MarkersAreSkippedAndOddBytesIgnored) {
    EXPECT_EQ(DecodeScriptText(Bytes{0xFF, 0xFE}), u"");
    EXPECT_EQ(DecodeScriptText(Bytes{0xFE, 0xFF}), u"");
    EXPECT_EQ(DecodeScriptText(Bytes{0xEF, 0xBB, 0xBF}), u"");
    EXPECT_EQ(DecodeScriptText(Bytes{0xFF, 0xFE, 'A', 0, 'B'}), u"A");
    EXPECT_EQ(DecodeScriptText(Bytes{0xFE, 0xFF, 0, 'A', 0}), u"A");
    EXPECT_EQ(DecodeScriptText(Bytes{0xFF, 0xFE, 'A'}), u"");
    EXPECT_TRUE(LoadScriptLines(Bytes{0xFF, 0xFE}).empty());
    EXPECT_TRUE(LoadScriptLines(Bytes{}).empty());
    // A second marker is text, not a marker.
    EXPECT_EQ(Show(DecodeScriptText(Bytes{0xFF, 0xFE, 0xFF, 0xFE, 'A', 0})), "\\uFEFFA");
}

TEST(ScriptDecoding, ShortOrUnmarkedFilesAreAnsi) {
    const Bytes cases[] = {
        {0xFF}, // shorter than a UTF-16 marker
        {0xFE},
        {0xEF, 0xBB},       // shorter than the UTF-8 marker
        {0xEF, 0xBB, 'a'},  // not the marker
        {0xBB, 0xBF, 0xEF}, // the marker's bytes in another order
        {'a', 0xC0, 0xE9, 0x80},
    };
    for (const Bytes& bytes : cases) {
        const std::string_view ansi(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        EXPECT_EQ(Show(DecodeScriptText(bytes)), Show(platform::AnsiToUtf16(ansi)));
    }
}

TEST(ScriptDecoding, Utf8WithoutMarkerReadsAsAnsi) {
    // "П" in UTF-8 is D0 9F; read as ANSI it is two characters.
    const Bytes bytes = Utf8(u"\u041F", false);
    const std::u16string text = DecodeScriptText(bytes);
    EXPECT_NE(Show(text), "\\u041F");
    EXPECT_EQ(text.size(), 2u);
#ifndef _WIN32
    EXPECT_EQ(Show(text), "\\u0420\\u045F"); // Windows-1251: "Рџ"
#endif
}

TEST(ScriptDecoding, Utf16WithoutMarkerStopsAtItsFirstZeroByte) {
    const Bytes bytes = Utf16Le(u"BEGIN\r\n1 a\r\n", false);
    EXPECT_EQ(Show(LoadScriptLines(bytes)), Lines{"B"});
}

TEST(ScriptDecoding, Utf8SequencesOfOneToFourBytes) {
    // $, ¢, €, U+10348 (a surrogate pair), U+FFFF, U+10FFFF.
    const Bytes bytes{0xEF, 0xBB, 0xBF, 0x24, 0xC2, 0xA2, 0xE2, 0x82, 0xAC, 0xF0,
                      0x90, 0x8D, 0x88, 0xEF, 0xBF, 0xBF, 0xF4, 0x8F, 0xBF, 0xBF};
    EXPECT_EQ(Show(DecodeScriptText(bytes)), "$\\u00A2\\u20AC\\uD800\\uDF48\\uFFFF\\uDBFF\\uDFFF");
}

TEST(ScriptDecoding, MalformedUtf8BecomesReplacementCharacters) {
    struct Case {
        Bytes body; // after the marker
        std::string text;
    };
    const std::string r = "\\uFFFD";
    const Case cases[] = {
        {{'a', 0x80, 'b'}, "a" + r + "b"},         // stray continuation byte
        {{'a', 0xC3}, "a" + r},                    // truncated at the end
        {{0xE2, 0x82}, r},                         // one part, one replacement
        {{0xE2, 0x82, 'A'}, r + "A"},              // cut short inside
        {{0xF0, 0x9F, 0x98}, r},                   // four-byte, truncated
        {{0xC0, 0xAF}, r + r},                     // overlong lead byte
        {{0xE0, 0x80, 0xAF}, r + r + r},           // overlong three-byte form
        {{0xF0, 0x80, 0x80, 0x80}, r + r + r + r}, // overlong four-byte form
        {{0xED, 0xA0, 0x80}, r + r + r},           // an encoded surrogate
        {{0xF4, 0x90, 0x80, 0x80}, r + r + r + r}, // above U+10FFFF
        {{0xF5, 'a'}, r + "a"},                    // no such lead byte
        {{0xFF, 0xFE, 'a'}, r + r + "a"},          // UTF-16 marker in UTF-8
        {{0xC3, 0xA9, 0xC3, 'x', 0xC3, 0xA9}, "\\u00E9" + r + "x\\u00E9"},
    };
    for (const auto& c : cases) {
        Bytes bytes{0xEF, 0xBB, 0xBF};
        bytes.insert(bytes.end(), c.body.begin(), c.body.end());
        EXPECT_EQ(Show(DecodeScriptText(bytes)), c.text) << testing::PrintToString(c.body);
    }
}

TEST(ScriptDecoding, MalformedUtf8NeverEmptiesTheScript) {
    const Bytes bytes = Raw("\xEF\xBB\xBF"
                            "BEGIN\r\n1 caf\xE9\r\n2 ok\r\nEND\r\n");
    const auto requests = Show(ReadScriptRequests(bytes));
    EXPECT_EQ(requests, (Lines{"string:caf\\uFFFD", "string:ok"}));
}

} // namespace
} // namespace skin::test
