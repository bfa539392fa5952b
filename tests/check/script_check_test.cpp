// The checker over short scripts: each row is a script and the findings it
// must give, as (line, column, name); a clean script gives none. The files
// the rows name lie in a program folder of the test's own.
#include "platform/platform.h"
#include "skin/script_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Expected = std::tuple<std::size_t, std::size_t, std::string>;

struct Row {
    const char* what;
    std::string script; // UTF-8; written with the marker unless `raw`
    std::vector<Expected> findings;
    bool raw = false;
};

std::string Strings(int count) {
    std::string text = "BEGIN\n";
    for (int i = 1; i <= count; ++i)
        text += std::to_string(i) + " \"s\"\n";
    return text + "END\n";
}

std::vector<Row> Rows() {
    return {
        {"clean",
         "// skin\n#define IDI_A 101\n#define IDR_B 0x200\nIDI_A ICON a.ico\n"
         "IDR_B RCDATA \"a.bin\" // data\nSTRINGTABLE DISCARDABLE\nBEGIN\n  1 \"Hello\"\n"
         "  2 \"Wo\"\"rld\"\nEND\n",
         {}},
        {"ICN at the top level", "1 ICN a.ico\n", {{1, 1, "unknown-line"}}},
        {"ICN after an ICON line", "1 ICON a.ico\n2 ICN a.ico\n", {{2, 3, "no-kind-keyword"}}},
        {"no file name", "1 RCDATA\n", {{1, 3, "missing-value"}}},
        {"comma joins key and text", "BEGIN\n IDS_A,\"Hello\"\nEND\n", {{2, 2, "lone-token"}}},
        {"empty string",
         "BEGIN\n1 \"\"\n2 \"b\"\n",
         {{2, 3, "empty-string"}, {3, 1, "string-number"}}},
        {"// inside quotes",
         "BEGIN\n1 \"See http://example.org\"\n",
         {{2, 13, "comment-in-quotes"}}},
        {"quote never closed", "1 RCDATA \"a.bin\n", {{1, 10, "unclosed-quote"}}},
        {"words after the text",
         "BEGIN\n3 Hello world\n",
         {{2, 1, "string-number"}, {2, 9, "extra-words"}}},
        {"words after the file", "1 RCDATA a.bin b.bin\n", {{1, 16, "extra-words"}}},
        {"option word",
         "1 ICON DISCARDABLE \"a.ico\"\n",
         {{1, 8, "option-word"}, {1, 8, "file-not-found"}}},
        {"16th and 17th string",
         Strings(17),
         {{17, 1, "string-unreachable"}, {18, 1, "string-unreachable"}}},
        {"string cut", "BEGIN\n1 " + std::string(65536, 'x') + "\n", {{2, 3, "string-cut"}}},
        {"#define in a string block",
         "BEGIN\n1 \"a\"\n#define A 1\n2 \"b\"\n",
         {{3, 1, "define-in-strings"}, {4, 1, "missing-value"}}},
        {"#define again, and no number",
         "#define A 1\n#define A 2\n#define B x\n",
         {{2, 9, "define-again"}, {3, 11, "define-not-number"}}},
        {"#defne taken as #define", "#define A 1\n#defne B 2\n", {{2, 1, "define-carried"}}},
        {"identifiers",
         "IDI_X ICON a.ico\n70000 RCDATA a.bin\n",
         {{1, 1, "id-not-found"}, {2, 1, "id-out-of-range"}}},
        {"written twice",
         "1 RCDATA a.bin\n1 RCDATA a.bin\n1 ICON a.ico\n",
         {{2, 1, "written-twice"}}},
        {"files",
         "1 RCDATA none.bin\n2 RCDATA dir\n3 ICON away.ico\n",
         {{1, 10, "file-not-found"}, {2, 10, "file-is-folder"}, {3, 8, "file-case"}}},
        {"contents",
         "1 RCDATA empty.bin\n2 ICON bad.ico\n",
         {{1, 10, "empty-data"}, {2, 8, "bad-icon"}}},
        {"UTF-8 without marker", "\n// \xD0\x9A\xD0\xBE\n", {{2, 4, "utf8-no-marker"}}, true},
        {"ANSI text", "//\r\n// \xCA\xEE\n", {{2, 4, "ansi-text"}}, true},
        {"UTF-16 without marker",
         std::string("1\0 \0", 4),
         {{1, 1, "utf16-no-marker"}, {1, 1, "unknown-line"}},
         true},
        {"broken UTF-8", "// ok\n// \xFF x \xFF\n", {{2, 4, "broken-utf8"}}},
    };
}

class ScriptCheckTable : public testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = fs::temp_directory_path() / ("ksb-check-" + std::to_string(platform::ProcessId()));
        fs::remove_all(root_);
        const fs::path files = root_ / "Files";
        fs::create_directories(files / "dir");
        const fs::path icon =
            fs::path(KSB_SOURCE_DIR) / "examples" / "Files" / "icons" / "online.ico";
        fs::copy_file(icon, files / "a.ico");
        fs::copy_file(icon, files / "Away.ico");
        Write(files / "a.bin", "abc");
        Write(files / "empty.bin", "");
        Write(files / "bad.ico", std::string("\0\0\1\0\0\0", 6));
    }
    static void TearDownTestSuite() { fs::remove_all(root_); }

    static void Write(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    static std::vector<Expected> Check(const Row& row) {
        Write(root_ / "Files" / "vistel.rc", (row.raw ? "" : "\xEF\xBB\xBF") + row.script);
        const skin::CheckReport report = skin::CheckSkin((root_ / "").u16string());
        std::vector<Expected> found;
        for (const skin::Finding& f : report.findings) {
            if (f.File() == u"Files\\vistel.rc")
                found.emplace_back(f.line, f.column, std::string(f.name));
        }
        return found;
    }

    static fs::path root_;
};
fs::path ScriptCheckTable::root_;

TEST_F(ScriptCheckTable, EachScriptGivesItsFindings) {
    for (const Row& row : Rows())
        EXPECT_EQ(Check(row), row.findings) << row.what;
}

// A script whose name differs in letter case, then as notes what "Used files"
// would leave and what no script builds, in name order.
TEST_F(ScriptCheckTable, ScriptCaseLeftoversAndStaleModules) {
    fs::create_directories(root_ / "_skin");
    Write(root_ / "_skin" / "quon_pics.dll", "MZ");
    Write(root_ / "Files" / "vistel.rc", "1 ICON a.ico\n");
    Write(root_ / "Files" / "TAVO.rc", "");
    const skin::CheckReport report = skin::CheckSkin((root_ / "").u16string());
    fs::remove_all(root_ / "_skin");
    fs::remove(root_ / "Files" / "TAVO.rc");
    std::vector<std::tuple<std::u16string, std::string>> found;
    for (const skin::Finding& f : report.findings)
        found.emplace_back(f.File(), std::string(f.name));
    const std::vector<std::tuple<std::u16string, std::string>> expected = {
        {u"Files\\TAVO.rc", "file-case"},     {u"Files\\Away.ico", "unused-file"},
        {u"Files\\a.bin", "unused-file"},     {u"Files\\bad.ico", "unused-file"},
        {u"Files\\empty.bin", "unused-file"}, {u"_skin\\quon_pics.dll", "stale-module"}};
    EXPECT_EQ(found, expected);
    EXPECT_EQ(report.scripts, 2u);
    EXPECT_EQ(report.Count(skin::Severity::Note), 5u);
}

// Texts are built from what a finding keeps: numbers, signs and words cut
// after 40 code units come out as they read.
TEST(ScriptCheckText, BuiltWhenAsked) {
    const std::string key = "IDI_" + std::string(45, 'K');
    const std::string script = "#define N 0xFFFFFFFF\nN RCDATA a\n" + key + " ICON a\n" + key +
                               " ICON a\nBEGIN\n7 \"s\"\n";
    skin::ScriptCheck check(u"Files\\vistel.rc");
    check.Read(std::vector<std::uint8_t>(script.begin(), script.end()));
    std::vector<std::u16string> lines;
    for (const skin::Finding& f : check.Findings())
        lines.push_back(skin::FindingLine(f));
    const std::u16string cut = u"\"IDI_" + std::u16string(36, u'K') + u"...\"";
    const std::u16string at = platform::JoinPath(u"", u"Files\\vistel.rc");
    const std::vector<std::u16string> expected = {
        at + u":2:1: warning: resource id \"N\" is -1, outside 1 to 65535: the build "
             u"skips the line [id-out-of-range]",
        at + u":3:1: warning: resource id " + cut +
            u" not found: written under that text as a string name [id-not-found]",
        at + u":4:1: warning: resource id " + cut +
            u" not found: written under that text as a string name [id-not-found]",
        at + u":4:1: warning: icon " + cut +
            u" is also written on line 3: this one replaces it [written-twice]",
        at + u":6:1: warning: this entry is string 1, not 7: strings are numbered in "
             u"file order [string-number]"};
    EXPECT_EQ(lines, expected);
}

// A sink changes nothing of what the lines ask for.
TEST(ScriptReaderSink, RequestsAreTheBuildsOwn) {
    struct Quiet : skin::ScriptReaderSink {
        void Notice(skin::ReaderNotice, std::size_t, std::u16string_view) override {}
        void Columns(const skin::TokenColumns&) override {}
    } sink;
    for (const Row& row : Rows()) {
        const std::vector<std::uint8_t> bytes(row.script.begin(), row.script.end());
        skin::ScriptLineState plain = skin::ScriptLineState::None;
        skin::ScriptLineState told = skin::ScriptLineState::None;
        for (const std::u16string& line : skin::LoadScriptLines(bytes)) {
            const skin::LineRequest a = skin::ReadScriptLine(line, plain);
            const skin::LineRequest b = skin::ReadScriptLine(line, told, sink);
            EXPECT_EQ(plain, told) << row.what;
            EXPECT_EQ(a.kind, b.kind) << row.what;
            EXPECT_EQ(a.value, b.value) << row.what;
            EXPECT_EQ(a.define.Name, b.define.Name) << row.what;
            EXPECT_EQ(a.define.Value, b.define.Value) << row.what;
        }
    }
}

} // namespace
