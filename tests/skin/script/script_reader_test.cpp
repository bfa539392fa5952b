// Whole lines and scripts: comments, trimming, the state machine and what
// each line asks for, with #define records applied the way a build applies
// them (a name is visible to later lines only).
#include "script_test_support.h"

#include <gtest/gtest.h>

#include <chrono>

namespace skin::test {
namespace {

using Outcome = std::vector<std::string>;

// Carries the requests out in order: string entries numbered from 1, #define
// records appended, resources under their resolved number or their key's text.
Outcome Carry(const std::vector<std::u16string>& lines) {
    Outcome outcome;
    Defines defines;
    ScriptLineState state = ScriptLineState::None;
    int entries = 0;
    for (const auto& line : lines) {
        const LineRequest request = ReadScriptLine(line, state);
        switch (request.kind) {
        case RequestKind::Nothing:
            break;
        case RequestKind::StringEntry:
            outcome.push_back(
                Join({"string ", std::to_string(++entries), ": ", Show(request.value)}));
            break;
        case RequestKind::Define:
            defines.push_back(request.define);
            outcome.push_back(Show(request));
            break;
        case RequestKind::RcData:
        case RequestKind::Icon: {
            const std::int32_t id = ResolveResourceId(request.keyToken, defines);
            const char* kind = request.kind == RequestKind::Icon ? "icon" : "rcdata";
            const std::string name =
                id != 0 ? std::to_string(id) : Join({"'", Show(request.keyToken), "'"});
            outcome.push_back(Join({kind, " ", name, ": ", Show(request.value)}));
            break;
        }
        }
    }
    return outcome;
}

struct ScriptCase {
    const char* what;
    std::vector<std::u16string> lines;
    Outcome outcome;
};

template <std::size_t N> void CheckAll(const ScriptCase (&cases)[N]) {
    for (const auto& c : cases)
        EXPECT_EQ(Carry(c.lines), c.outcome) << c.what;
}

TEST(ScriptReader, StringTableBlocks) {
    const ScriptCase cases[] = {
        {"plain block",
         {u"STRINGTABLE", u"BEGIN", u"1 one", u"2 two", u"END"},
         {"string 1: one", "string 2: two"}},
        {"BEGIN with a comment, begin indented, no STRINGTABLE needed",
         {u"BEGIN // strings", u"1 a", u"END", u"  begin", u"2 b", u"eNd"},
         {"string 1: a", "string 2: b"}},
        {"STRINGTABLE DISCARDABLE is no STRINGTABLE line; BEGIN starts the entries",
         {u"STRINGTABLE DISCARDABLE", u"1 x", u"BEGIN", u"1 a", u"END"},
         {"string 1: a"}},
        {"STRINGTABLE inside a block ends the entries",
         {u"BEGIN", u"1 a", u"stringtable", u"2 b", u"BEGIN", u"3 c"},
         {"string 1: a", "string 2: c"}},
        {"lines outside a block ask for nothing", {u"1 a", u"END", u"2 b"}, {}},
        {"quote pairs", {u"BEGIN", u"1 \"Hello \"\"world\"\"\""}, {"string 1: Hello \"world\""}},
        {"an empty text makes no entry and takes no number",
         {u"BEGIN", u"1 \"\"", u"2 next"},
         {"string 1: next"}},
        {"the rest of the line is ignored", {u"BEGIN", u"1 Hello world"}, {"string 1: Hello"}},
        {"a comma belongs to the key token",
         {u"BEGIN", u"IDS_A, \"Text\"", u"IDS_A,\"Text\""},
         {"string 1: Text"}},
        {"a key alone is no entry", {u"BEGIN", u"1", u"\"only\""}, {}},
        {"entries are numbered across blocks",
         {u"BEGIN", u"7 a", u"END", u"BEGIN", u"3 b", u"END"},
         {"string 1: a", "string 2: b"}},
        {"an unclosed quote cut by a comment keeps the text before it",
         {u"BEGIN", u"1 \"path//name\"", u"2 \"http://x\""},
         {"string 1: path", "string 2: http:"}},
        {"a lone quote stays as it is", {u"BEGIN", u"1 \"// comment\""}, {"string 1: \""}},
        {"no kind token inside a block",
         {u"BEGIN", u"5 ICON a.ico", u"6 RCDATA d"},
         {"string 1: ICON", "string 2: RCDATA"}},
        {"backslashes in string texts",
         {u"BEGIN", u"1 a\\\\b", u"2 \"c\\\\\\d\\n\""},
         {"string 1: a\\b", "string 2: c\\\\d\\n"}},
        {"tabs separate, other controls do not",
         {u"BEGIN", u"1\tTabbed", u"2\vvertical", u"\t 3 \t padded \t"},
         {"string 1: Tabbed", "string 2: padded"}},
        {"empty and comment-only lines change nothing",
         {u"BEGIN", u"", u"   ", u"// BEGIN", u"\t// END", u"1 a"},
         {"string 1: a"}},
        {"a comment cut anywhere, quotes or not",
         {u"BEGIN", u"1 a//b", u"2 \"x y\"// z", u"//END", u"3 c"},
         {"string 1: a", "string 2: x y", "string 3: c"}},
        {"keywords ignore case but not extra words",
         {u"Begin", u"1 a", u"END now", u"2 b", u"end", u"3 c"},
         {"string 1: a", "string 2: now", "string 3: b"}},
    };
    CheckAll(cases);
}

TEST(ScriptReader, IconAndRcDataLines) {
    const ScriptCase cases[] = {
        {"icon and raw data",
         {u"IDI_MAIN ICON main.ico", u"7 RCDATA data\\x.bin"},
         {"icon 'IDI_MAIN': main.ico", "rcdata 7: data\\x.bin"}},
        {"the third token is always the file",
         {u"IDI_X ICON DISCARDABLE \"a.ico\""},
         {"icon 'IDI_X': DISCARDABLE"}},
        {"the key keeps its quotes", {u"\"IDI X\" ICON a.ico"}, {"icon '\"IDI X\"': a.ico"}},
        {"quoted file with a doubled backslash",
         {u"IDI_X ICON \"icons\\\\a b.ico\"", u"IDI_Y ICON icons\\a.ico"},
         {"icon 'IDI_X': icons\\a b.ico", "icon 'IDI_Y': icons\\a.ico"}},
        {"the kind keyword acts in any letter case",
         {u"IDI_X icon a.ico", u"5 RcData d.bin", u"6 rcdata e.bin", u"IDI_Y Icon b.ico"},
         {"icon 'IDI_X': a.ico", "rcdata 5: d.bin", "rcdata 6: e.bin", "icon 'IDI_Y': b.ico"}},
        {"in the icon state a line without its own keyword does nothing",
         {u"1 ICON a.ico", u"2 OTHER b.ico", u"3 c.ico", u"4 RCDATA d.bin", u"5 ICONS e.ico"},
         {"icon 1: a.ico", "rcdata 4: d.bin"}},
        {"a missing file name asks for nothing", {u"1 ICON", u"2 RCDATA \"\""}, {}},
        {"out-of-range identifiers are still asked for",
         {u"70000 ICON a.ico", u"-5 RCDATA d.bin", u"65535 ICON b.ico"},
         {"icon 70000: a.ico", "rcdata -5: d.bin", "icon 65535: b.ico"}},
        {"key 0 is looked up by its text",
         {u"0 ICON a.ico", u"#define 0 12", u"0 ICON b.ico"},
         {"icon '0': a.ico", "define:0=12", "icon 12: b.ico"}},
        {"a hex key is a number",
         {u"0x20 ICON a.ico", u"$21 RCDATA d"},
         {"icon 32: a.ico", "rcdata 33: d"}},
        {"trailing comment and controls are trimmed",
         {u"\t1 ICON a.ico\t\x01 // note"},
         {"icon 1: a.ico"}},
        {"END leaves the icon state",
         {u"1 ICON a.ico", u"END", u"2 ICON b.ico"},
         {"icon 1: a.ico", "icon 2: b.ico"}},
    };
    CheckAll(cases);
}

TEST(ScriptReader, Defines) {
    const ScriptCase cases[] = {
        {"a name is visible to later lines only",
         {u"A ICON a.ico", u"#define A 5", u"A ICON a.ico"},
         {"icon 'A': a.ico", "define:A=5", "icon 5: a.ico"}},
        {"value forms",
         {u"#define A 0x10", u"#define B $10", u"#define C 10h", u"#define D B", u"#define E \"7\"",
          u"#define F -3", u"#define G \"\"", u"#define H"},
         {"define:A=16", "define:B=16", "define:C=0", "define:D=0", "define:E=7", "define:F=-3"}},
        {"the first of two records wins",
         {u"#define A 5", u"#define A 9", u"1 A", u"A RCDATA d"},
         {"define:A=5", "define:A=9", "rcdata 5: d"}},
        {"#DEFINE in capitals, # define is no define line",
         {u"# define B 2", u"#DEFINE A 1", u"B ICON b.ico", u"A ICON a.ico"},
         {"define:A=1", "icon 'B': b.ico", "icon 1: a.ico"}},
        {"after a define line, # define defines the name \"define\"",
         {u"#define A 1", u"# define B 2"},
         {"define:A=1", "define:define=0"}},
        {"plain lines after a define line define too",
         {u"#define A 1", u"X Y 3", u"just two", u"Y ICON y.ico"},
         {"define:A=1", "define:Y=3", "icon 3: y.ico"}},
        {"a define inside a block defines nothing and ends the entries",
         {u"BEGIN", u"1 a", u"#define A 5", u"2 b", u"X C 7", u"BEGIN", u"3 c", u"END",
          u"C RCDATA d", u"A RCDATA e"},
         {"string 1: a", "define:C=7", "string 2: c", "rcdata 7: d", "rcdata 'A': e"}},
        {"names are case-sensitive",
         {u"#define Name 4", u"name ICON a.ico", u"Name ICON b.ico"},
         {"define:Name=4", "icon 'name': a.ico", "icon 4: b.ico"}},
        {"a negative definition is found",
         {u"#define N -2", u"N ICON a.ico"},
         {"define:N=-2", "icon -2: a.ico"}},
        {"positive keys are never looked up",
         {u"#define 5 9", u"5 ICON a.ico"},
         {"define:5=9", "icon 5: a.ico"}},
        {"a definition value with backslashes", {u"#define A \\\\"}, {"define:A=0"}},
    };
    CheckAll(cases);
}

TEST(ScriptReader, StateTransitions) {
    struct Case {
        ScriptLineState before;
        std::u16string line;
        ScriptLineState after;
    };
    using S = ScriptLineState;
    const Case cases[] = {
        {S::Icon, u"", S::Icon},
        {S::Define, u"// BEGIN", S::Define},
        {S::Icon, u"STRINGTABLE DISCARDABLE", S::Icon},
        {S::Icon, u"STRINGTABLE", S::None},
        {S::RcData, u" begin ", S::Strings},
        {S::Strings, u"end", S::None},
        {S::Strings, u"#define A 1", S::Define},
        {S::Strings, u"1 ICON a", S::Strings},
        {S::None, u"1 ICON a", S::Icon},
        {S::Icon, u"1 RCDATA a", S::RcData},
        {S::RcData, u"1 x a", S::RcData},
        {S::Define, u"1 icon a", S::Icon},
        {S::None, u"#Define", S::Define},
        {S::None, u"END ICON x", S::Icon}, // END only as the whole line
        {S::None, u"BEGIN\t", S::Strings},
        {S::None, u"\"BEGIN\"", S::None},
    };
    for (const auto& c : cases) {
        ScriptLineState state = c.before;
        ReadScriptLine(c.line, state);
        EXPECT_EQ(state, c.after) << Show(c.line);
    }
}

// One script with every kind of line, Cyrillic text and a character outside
// the Basic Multilingual Plane, in each encoding with a marker.
const std::u16string kMixedScript =
    u"// skin strings\r\n"
    u"#define IDI_MAIN 101\r\n"
    u"#define IDR_DATA 0x66\r\n"
    u"STRINGTABLE\r\n"
    u"BEGIN\r\n"
    u"  1 \"\u041F\u0440\u0438\u0432\u0435\u0442, \"\"\u043C\u0438\u0440\"\"\"\r\n"
    u"  2 \"emoji \U0001F600\"\n"
    u"  3 \"tab\there\"\u2028"
    u"END\r\n"
    u"IDI_MAIN ICON \"icons\\\\main.ico\"\r\n"
    u"IDR_DATA RCDATA data\\\u0444.bin\r"
    u"UNKNOWN ICON other.ico\r\n";

const Outcome kMixedOutcome{
    "define:IDI_MAIN=101",
    "define:IDR_DATA=102",
    "string 1: \\u041F\\u0440\\u0438\\u0432\\u0435\\u0442, \"\\u043C\\u0438\\u0440\"",
    "string 2: emoji \\uD83D\\uDE00",
    "string 3: tab\\u0009here",
    "icon 101: icons\\main.ico",
    "rcdata 102: data\\\\u0444.bin",
    "icon 'UNKNOWN': other.ico",
};

TEST(ScriptReader, SameScriptInEveryMarkedEncoding) {
    EXPECT_EQ(Carry(LoadScriptLines(Utf16Le(kMixedScript))), kMixedOutcome);
    EXPECT_EQ(Carry(LoadScriptLines(Utf16Be(kMixedScript))), kMixedOutcome);
    EXPECT_EQ(Carry(LoadScriptLines(Utf8(kMixedScript))), kMixedOutcome);

    const auto le = Show(ReadScriptRequests(Utf16Le(kMixedScript)));
    EXPECT_EQ(le.size(), kMixedOutcome.size());
    EXPECT_EQ(le, Show(ReadScriptRequests(Utf16Be(kMixedScript))));
    EXPECT_EQ(le, Show(ReadScriptRequests(Utf8(kMixedScript))));
}

TEST(ScriptReader, AsciiScriptReadsTheSameWithoutMarker) {
    const std::u16string script = u"#define A 3\nBEGIN\n1 \"a b\"\nEND\nA RCDATA d.bin\n";
    const Outcome expected{"define:A=3", "string 1: a b", "rcdata 3: d.bin"};
    EXPECT_EQ(Carry(LoadScriptLines(Utf8(script, false))), expected);
    EXPECT_EQ(Carry(LoadScriptLines(Utf16Le(script))), expected);
}

// Ten-megabyte lines of the shapes each step scans: a quadratic step would
// not finish. The results are checked as well as the time.
TEST(ScriptReader, HugeLinesTakeLinearTime) {
    constexpr std::size_t kSize = 5 * 1024 * 1024; // 10 MB of UTF-16 per line
    const auto started = std::chrono::steady_clock::now();

    std::u16string script = u"BEGIN\n1 \"";
    script.append(kSize, u'\\');
    script += u"\"\n2 ";
    script.append(kSize, u'"');
    script += u"\n3";
    script.append(kSize, u' ');
    script += u"x\n";
    script.append(kSize, u'/');
    script += u"\nEND\n#define A ";
    script.append(kSize, u'7');
    script += u"\n";
    script.append(kSize / 10, u'\n');
    script += u"X B ";
    script.append(kSize, u'0');
    script += u"1\n";

    const std::vector<LineRequest> requests = ReadScriptRequests(Utf16Le(script));
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0].value.size(), kSize / 2);
    EXPECT_EQ(requests[1].value, std::u16string(kSize / 2 - 1, u'"'));
    EXPECT_EQ(Show(requests[2].value), "x");
    EXPECT_EQ(Show(requests[3]), "define:A=0");
    EXPECT_EQ(Show(requests[4]), "define:B=1");

    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started);
    EXPECT_LT(seconds.count(), 60.0);
}

} // namespace
} // namespace skin::test
