// The checker over short scripts: each row is a script and the findings it
// must give, as (line, column, name) and, for a finding over a span of lines,
// its last line; a clean script gives none. The files the rows name lie in a
// program folder of the test's own.
#include "platform/platform.h"
#include "skin/check/script_check.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <memory>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
struct Expected {
    std::size_t line = 0;
    std::size_t column = 0;
    std::string name;
    std::size_t last = 0; // the span's last line; 0 for a finding of one line
    bool operator==(const Expected&) const = default;
};
void PrintTo(const Expected& e, std::ostream* out) {
    *out << "(" << e.line << ", " << e.column << ", " << e.name;
    if (e.last != 0)
        *out << ", to " << e.last;
    *out << ")";
}

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

// `count` lines "N KIND bN.bmp", N from 3, the kinds taken in turn.
std::string Repeated(const std::vector<std::string>& kinds, int count) {
    std::string text;
    for (int i = 3; i < 3 + count; ++i)
        text += std::to_string(i) + " " + kinds[static_cast<std::size_t>(i - 3) % kinds.size()] +
                " b" + std::to_string(i) + ".bmp\n";
    return text;
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
        {"option word, one finding for the word and the missing file",
         "1 ICON DISCARDABLE \"a.ico\"\n",
         {{1, 8, "option-word"}}},
        {"16th and 17th string", Strings(17), {{17, 1, "unreachable-strings", 18}}},
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
        // Copied from a program's resource file: one finding per cause, at its first line.
        {"version block",
         "1 VERSIONINFO\nBEGIN\n    BLOCK \"StringFileInfo\"\nEND\n",
         {{1, 1, "unsupported-statement", 4}}},
        {"menu block",
         "IDR_MENU MENU\nBEGIN\n    POPUP \"&File\"\nEND\n",
         {{1, 1, "unsupported-statement", 4}}},
        {"dialog with its options, nested blocks",
         "#define IDD_A 100\nIDD_A DIALOGEX 0, 0, 170, 62\nSTYLE DS_MODALFRAME\n"
         "CAPTION \"About\"\nFONT 8, \"MS Shell Dlg\"\nBEGIN\n  LTEXT \"Hi\",-1,1,1,9,9\n"
         "  BEGIN\n  END\n  LTEXT \"\",-1,1,1,9,9\nEND\n",
         {{2, 1, "unsupported-statement", 11}}},
        // The scripts below come from real resource files, cut to the shape that misled.
        {"a style continued onto the next line",
         "#define IDI_A 1\nIDD_X DIALOGEX 0,0,210,83\nSTYLE DS_SETFONT | WS_POPUP |\n    "
         "WS_CAPTION\n"
         "CAPTION \"Dialog\"\nFONT 10, \"Segoe UI\"\nBEGIN\nLTEXT \"P\",IDC_X,3,2,5,4\nEND\n",
         {{2, 1, "unsupported-statement", 9}}},
        {"#ifdef inside a statement's header",
         "VS_VERSION_INFO VERSIONINFO\n FILEFLAGSMASK 0x3fL\n#ifdef _DEBUG\n FILEFLAGS "
         "0x1L\n#endif\n"
         " FILESUBTYPE 0x0L\nBEGIN\nBLOCK \"x\"\nEND\n",
         {{1, 1, "unsupported-statement", 9}}},
        {"a header that ends in a comma goes on, but not over a line that asks for a file",
         "LANGUAGE LANG_ENGLISH,\n SUBLANG_ENGLISH_US\nIDX BITMAP b.bmp,\n1 ICON a.ico\n",
         {{1, 1, "unsupported-statement", 2}, {3, 1, "unsupported-statement"}}},
        {"braces on a dialog",
         "IDD_X DIALOGEX 0,0,300,28\n{\nPUSHBUTTON \"Pause\", IDC_P, 1,7,50,14\n}\n",
         {{1, 1, "unsupported-statement", 4}}},
        {"thirty bitmaps in a row are one run",
         "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n1 ICON a.ico\n" + Repeated({"BITMAP"}, 30),
         {{1, 1, "unsupported-statement"}, {3, 1, "unsupported-statement-run", 32}}},
        {"# define with a space, #defne, and #DEFINE that works",
         "1 ICON a.ico\n# define IDI_B 2\n#defne IDI_C 3\n#DEFINE IDI_D 4\nIDI_D ICON a.ico\n",
         {{2, 1, "define-near-miss"}, {3, 1, "define-near-miss"}}},
        {"keyword typos",
         "STRINGTABEL\nBEGIN\n1 \"a\"\nEND\n2 RCDAT a.bin\n",
         {{1, 1, "unknown-line"}, {5, 1, "unknown-line"}}},
        {"#include of the project and of the system",
         "#include <winver.h>\n#include \"resource.h\"\nIDI_A ICON a.ico\nIDI_B ICON a.ico\n"
         "IDI_C ICON a.ico\nIDI_D ICON a.ico\n",
         {{1, 1, "preprocessor-line", 2}, {3, 1, "id-not-found-run", 6}}},
        {"empty blocks of statements in a row",
         "1 AFX_DIALOG_LAYOUT\nBEGIN\n0\nEND\n\n2 AFX_DIALOG_LAYOUT\nBEGIN\n0\nEND\n"
         "3 AFX_DIALOG_LAYOUT\nBEGIN\n0\nEND\n",
         {{1, 1, "unsupported-statement-run", 13}}},
        {"braces in a row",
         "STRINGTABLE\n{\n1 \"a\"\n}\nSTRINGTABLE\n{\n2 \"b\"\n}\n",
         {{2, 1, "braces-run", 8}}},
        {"UTF-8 without marker in a comment only",
         "// Copyright \xC2\xA9 X\n1 ICON a.ico\n",
         {},
         true},
        {"a file name read garbled",
         "1 ICON \"\xD0\xB8\xD0\xBA\xD0\xBE\xD0\xBD\xD0\xBA\xD0\xB0.ico\"\n",
         {{1, 8, "file-not-found"}, {1, 9, "utf8-no-marker"}},
         true},
        {"key and text on two lines",
         "STRINGTABLE\nBEGIN\nIDS_LONG\n\"Selects, or deselects\"\nEND\n",
         {{3, 1, "lone-token", 4}}},
        {"#ifdef in a string table",
         "STRINGTABLE\nBEGIN\n1 \"a\"\n#ifdef DEBUG\n2 \"b\"\n#endif\nEND\n",
         // entry 3 under the key 2: the #ifdef took a number
         {{4, 1, "preprocessor-line", 6}, {5, 1, "string-number"}}},
        {"escape kept", "BEGIN\n1 \"Line1\\nLine2\"\n", {{2, 9, "literal-escape"}}},
        {"comment in a block",
         "STRINGTABLE\nBEGIN\n1 \"a\"\n/* tray */\nEND\n",
         {{4, 1, "block-comment"}}},
        {"licence comment",
         "/*\n * Copyright (c) 2020\n * all rights\n */\n1 ICON a.ico\n",
         {{1, 1, "block-comment", 4}}},
        {"value not one string", "BEGIN\n1 \"\",\n", {{2, 3, "value-not-one-string"}}},
        {"backslash at the end", "BEGIN\n1 \"one \\\n two\"\n", {{2, 8, "backslash-at-end", 3}}},
        {"braces", "STRINGTABLE\n{\n1 \"a\"\n2 \"b\"\n}\n", {{2, 1, "braces", 5}}},
        {"#include and names it holds",
         "#include \"resource.h\"\nIDI_A ICON a.ico\nIDI_B ICON a.ico\nIDI_C ICON a.ico\n"
         "IDI_D ICON a.ico\nIDI_E ICON a.ico\n",
         {{1, 1, "preprocessor-line"}, {2, 1, "id-not-found-run", 6}}},
        {"a few names stay one finding each",
         "IDI_A ICON a.ico\nIDI_B ICON a.ico\n",
         {{1, 1, "id-not-found"}, {2, 1, "id-not-found"}}},
        {"columns of UTF-8 without marker",
         "BEGIN\n1 \"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 http://example.org\"\n",
         {{2, 4, "utf8-no-marker"}, {2, 16, "comment-in-quotes"}},
         true},
        {"files",
         "1 RCDATA none.bin\n2 RCDATA dir\n3 ICON away.ico\n",
         {{1, 10, "file-not-found"}, {2, 10, "file-is-folder"}, {3, 8, "file-case"}}},
        {"contents",
         "1 RCDATA empty.bin\n2 ICON bad.ico\n",
         {{1, 10, "empty-data"}, {2, 8, "bad-icon"}}},
        {"UTF-8 without marker",
         "\n#define \xD0\x9A\xD0\xBE 1\n",
         {{2, 9, "utf8-no-marker"}},
         true},
        {"ANSI text", "//\r\n#define \xCA\xEE 1\n", {{2, 9, "ansi-text"}}, true},
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
        scratch_ = std::make_unique<ksbtest::ScratchFolder>("check");
        root_ = scratch_->Root();
        const fs::path files = root_ / "Files";
        fs::create_directories(files / "dir");
        const fs::path icon =
            fs::path(KSB_SOURCE_DIR) / "examples" / "Files" / "icons" / "online.ico";
        fs::copy_file(icon, files / "a.ico");
        fs::copy_file(icon, files / "Away.ico");
        Write(files / "a.bin", "abc");
        Write(files / "empty.bin", "");
        Write(files / "bad.ico", std::string("\0\0\1\0\0\0", 6));
        fs::copy_file(icon, files / fs::path(u"\u0438\u043A\u043E\u043D\u043A\u0430.ico"));
    }
    static void TearDownTestSuite() { scratch_.reset(); }

    static void Write(const fs::path& path, const std::string& bytes) {
        ksbtest::WriteFile(path, bytes);
    }

    static std::vector<Expected> Check(const Row& row) {
        Write(root_ / "Files" / "vistel.rc", (row.raw ? "" : "\xEF\xBB\xBF") + row.script);
        const skin::CheckReport report = skin::CheckSkin((root_ / "").u16string());
        std::vector<Expected> found;
        for (const skin::Finding& f : report.findings) {
            if (f.File() == u"Files\\vistel.rc")
                found.push_back({f.line, f.column, std::string(f.name), f.lastLine});
        }
        return found;
    }

    static std::unique_ptr<ksbtest::ScratchFolder> scratch_;
    static fs::path root_;
};
std::unique_ptr<ksbtest::ScratchFolder> ScriptCheckTable::scratch_;
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
        {u"Files\\TAVO.rc", "file-case"},
        {u"Files\\Away.ico", "unused-file"},
        {u"Files\\a.bin", "unused-file"},
        {u"Files\\bad.ico", "unused-file"},
        {u"Files\\empty.bin", "unused-file"},
        {u"Files\\\u0438\u043A\u043E\u043D\u043A\u0430.ico", "unused-file"},
        {u"_skin\\quon_pics.dll", "stale-module"}};
    EXPECT_EQ(found, expected);
    EXPECT_EQ(report.scripts, 2u);
    EXPECT_EQ(report.Count(skin::Severity::Note), 6u);
}

// What the texts say: the parts each must hold, and must not, as the author
// reads them (a path whole, the previous line, what is stored, the span).
struct TextRow {
    const char* what;
    std::string script;
    std::size_t line;
    std::string name;
    std::vector<std::u16string> holds;
    std::vector<std::u16string> lacks = {};
    bool raw = false;
    std::u16string file = u"Files\\vistel.rc";
};

TEST_F(ScriptCheckTable, TextsSayWhatIsTrue) {
    const std::string longPath = "icons\\some\\quite\\long\\folder\\name\\missing.ico";
    const std::vector<TextRow> rows = {
        {"a long path is whole",
         "1 ICON \"" + longPath + "\"\n",
         1,
         "file-not-found",
         {platform::JoinPath(u"", u"Files\\icons\\some\\quite\\long\\folder\\name\\missing.ico")}},
        {"written twice, the later file missing",
         "1 ICON a.ico\n1 ICON a.ico\n1 ICON none.ico\n",
         3,
         "written-twice",
         {u"line 2", u"replaces nothing"},
         {u"line 1"}},
        {"written twice, the later file there",
         "1 RCDATA a.bin\n1 RCDATA a.bin\n",
         2,
         "written-twice",
         {u"line 1: this one replaces it"}},
        {"written twice, the later file empty",
         "1 RCDATA a.bin\n1 RCDATA empty.bin\n",
         2,
         "written-twice",
         {u"deletes it"}},
        {"a lone token without a comma",
         "BEGIN\nHello\n",
         2,
         "lone-token",
         {u"no entry"},
         {u"comma"}},
        {"a lone token with a comma",
         "BEGIN\nIDS_A,\"Hi\"\n",
         2,
         "lone-token",
         {u"(a comma ends no token)"}},
        {"extra words keep their quotes single",
         "BEGIN\n1 \"a\" \"\", 0, MFT_SEPARATOR\n",
         2,
         "extra-words",
         {u": \"\", 0, MFT_SEPARATOR"},
         {u"\"\"\""}},
        {"a version block gives its entries",
         "// c\n1 VERSIONINFO\nBEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n    VALUE \"A\", \"B\"\n"
         "  END\nEND\n",
         2,
         "unsupported-statement",
         {u"the VERSIONINFO statement (lines 2-8)",
          u"its BEGIN block (lines 3-8) becomes string entries 1-2"}},
        {"braces on a dialog: delete it, not BEGIN and END",
         "IDD_X DIALOGEX 0,0,300,28\n{\nPUSHBUTTON \"Pause\", IDC_P, 1,7,50,14\n}\n",
         1,
         "unsupported-statement",
         {u"asks for nothing", u"delete the statement"},
         {u"write BEGIN"}},
        {"a run of statements counts them by kind",
         "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n1 ICON a.ico\n" + Repeated({"BITMAP"}, 30),
         3,
         "unsupported-statement-run",
         {u"30 findings on lines 3-32: 30 BITMAP statements"}},
        {"a flood of statements names every kind",
         "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n1 ICON a.ico\n" +
             Repeated({"BITMAP", "MENU"}, 28) + "31 CURSOR c.cur\n",
         1,
         "unsupported-statement-run",
         {u"14 BITMAP, 14 MENU, 1 LANGUAGE, 1 CURSOR statements"}},
        {"# define with a space",
         "# define IDI_B 2\n",
         1,
         "define-near-miss",
         {u"\"# define\" is no #define", u"one word"}},
        {"a typo of a keyword",
         "STRINGTABEL\nBEGIN\n1 \"a\"\nEND\n",
         1,
         "unknown-line",
         {u"did you mean STRINGTABLE in place of \"STRINGTABEL\"?"}},
        {"the project's own header is blamed",
         "#include <winver.h>\n#include \"resource.h\"\nIDI_A ICON a.ico\nIDI_B ICON a.ico\n"
         "IDI_C ICON a.ico\nIDI_D ICON a.ico\n",
         3,
         "id-not-found-run",
         {u"#include \"resource.h\" on line 2 is not read: 4 names"},
         {u"winver"}},
        {"a file name read garbled names the fix",
         "1 ICON \"\xD0\xB8\xD0\xBA\xD0\xBE\xD0\xBD\xD0\xBA\xD0\xB0.ico\"\n",
         1,
         "file-not-found",
         {u"the build looks for", u"save the script as UTF-8 with a marker"},
         {},
         true},
        {"and the file it meant says why it is left",
         "1 ICON \"\xD0\xB8\xD0\xBA\xD0\xBE\xD0\xBD\xD0\xBA\xD0\xB0.ico\"\n",
         0,
         "unused-file",
         {u"as the build reads it: line 1", u"without a byte-order mark"},
         {},
         true,
         u"Files\\\u0438\u043A\u043E\u043D\u043A\u0430.ico"},
        {"key and text on two lines",
         "BEGIN\nIDS_LONG\n\"Selects, or deselects\"\n",
         2,
         "lone-token",
         {u"join them on one line"},
         {u"comma"}},
        {"a block after an ICON line is told as one",
         "1 ICON a.ico\nBEGIN\n1 \"a\"\nEND\n",
         2,
         "block-as-strings",
         {u"the BEGIN block after 1 ICON a.ico on line 1 (lines 2-4) becomes string entry 1"}},
        {"a statement writes nothing",
         "1 VERSIONINFO\nBEGIN\nEND\n",
         1,
         "unsupported-statement",
         {u"writes no resource of it"}},
        {"unreachable entries as a run",
         Strings(20),
         17,
         "unreachable-strings",
         {u"entries 16-20 (lines 17-21) cannot be loaded"}},
        {"a comment in a string block names its entries",
         "STRINGTABLE\nBEGIN\n1 \"a\"\n/* tray\n   icon */\nEND\n",
         4,
         "block-comment",
         {u"(lines 4-5)", u"string entries 2-3"}},
        {"#ifdef in a string block becomes an entry",
         "STRINGTABLE\nBEGIN\n#ifdef DEBUG\n1 \"a\"\n#endif\nEND\n",
         3,
         "preprocessor-line",
         {u"#ifdef DEBUG becomes string entry 1", u"both branches"}},
        {"#include named as the cause of a run",
         "#include \"resource.h\"\nA ICON a.ico\nB ICON a.ico\nC ICON a.ico\nD ICON a.ico\n",
         2,
         "id-not-found-run",
         {u"#include \"resource.h\" on line 1 is not read: 4 names on lines 2-5 are not found",
          u"\"A\", \"B\", \"C\", ..."}},
        {"escape names what is stored",
         "BEGIN\n1 \"a\\tb\"\n",
         2,
         "literal-escape",
         {u"entry 1 stores the 2 characters \"\\\" \"t\""}},
        {"value not one string says what is stored",
         "BEGIN\n1 \"Name\",\n",
         2,
         "value-not-one-string",
         {u"entry 1 stores the 4 characters Name"}},
        {"braces name the lost entries",
         "STRINGTABLE\n{\n1 \"a\"\n2 \"b\"\n}\n",
         2,
         "braces",
         {u"write BEGIN and END", u"the 2 entries on lines 3-4 are lost"}},
        {"words of UTF-8 without marker as the editor shows them",
         "\xD0\x9A\xD0\x9B ICN a.ico\n",
         1,
         "unknown-line",
         {u"\"\u041A\u041B\""},
         {},
         true},
    };
    for (const TextRow& row : rows) {
        Write(root_ / "Files" / "vistel.rc", (row.raw ? "" : "\xEF\xBB\xBF") + row.script);
        const skin::CheckReport report = skin::CheckSkin((root_ / "").u16string());
        const auto found = std::find_if(
            report.findings.begin(), report.findings.end(), [&](const skin::Finding& f) {
                return f.line == row.line && f.name == row.name && f.File() == row.file;
            });
        ASSERT_NE(found, report.findings.end()) << row.what;
        for (const std::u16string& part : row.holds)
            EXPECT_NE(found->text.find(part), std::u16string::npos)
                << row.what << ": " << platform::Utf16ToUtf8(found->text);
        for (const std::u16string& part : row.lacks)
            EXPECT_EQ(found->text.find(part), std::u16string::npos)
                << row.what << ": " << platform::Utf16ToUtf8(found->text);
    }
}

// Scripts copied whole from programs' resource files (tests/skin/check/rc): every
// line that the build turns into a string entry unasked is named by a
// finding on it or over it, and a script gets at most one finding for every
// eighth line, or 25. Asked for are the plain "KEY "text"" lines of a block
// that a STRINGTABLE line opened.
TEST_F(ScriptCheckTable, CopiedResourceFilesAreNamedWithoutFlood) {
    const std::regex tableLine(R"(^\s*STRINGTABLE\b.*)", std::regex::icase);
    const std::regex plainEntry(R"(^\s*\w+,?\s+"[^"\\]*"\s*$)");
    std::size_t files = 0;
    for (const auto& entry :
         fs::directory_iterator(fs::path(KSB_SOURCE_DIR) / "tests/skin/check/rc")) {
        ++files;
        const std::vector<std::uint8_t> data = ksbtest::ReadFile(entry.path());
        ksbtest::WriteFile(root_ / "Files" / "vistel.rc", data);
        const skin::CheckReport report = skin::CheckSkin((root_ / "").u16string());
        std::vector<const skin::Finding*> findings;
        for (const skin::Finding& f : report.findings) {
            if (f.File() == u"Files\\vistel.rc")
                findings.push_back(&f);
        }
        const std::vector<std::u16string> lines = skin::LoadScriptLines(data);
        const std::string what = entry.path().filename().string();
        EXPECT_LE(findings.size(), std::max<std::size_t>(lines.size() / 8, 25)) << what;

        skin::ScriptLineState state = skin::ScriptLineState::None;
        bool inTable = false;
        std::string previous; // the last line with code before this one
        std::size_t unasked = 0;
        for (std::size_t n = 1; n <= lines.size(); ++n) {
            const std::string text = platform::Utf16ToUtf8(lines[n - 1]);
            const std::string code = text.substr(0, text.find("//"));
            const std::string trimmed = std::regex_replace(code, std::regex(R"(^\s+|\s+$)"), "");
            if (trimmed == "BEGIN" && state != skin::ScriptLineState::Strings)
                inTable = std::regex_match(previous, tableLine);
            const bool isEntry =
                skin::ReadScriptLine(lines[n - 1], state).kind == skin::RequestKind::StringEntry;
            if (!trimmed.empty())
                previous = trimmed;
            if (!isEntry || (inTable && std::regex_match(code, plainEntry)))
                continue;
            ++unasked;
            const bool named = std::any_of(findings.begin(), findings.end(), [&](const auto* f) {
                return f->line <= n && n <= f->LastLine();
            });
            EXPECT_TRUE(named) << what << ": line " << n << " becomes an entry unnamed: " << text;
        }
        EXPECT_GT(unasked, 10u) << what; // the file copies blocks the build takes as strings
    }
    EXPECT_GE(files, 2u);
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
