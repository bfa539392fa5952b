// The skin checker: reads Files\ by the build's own rules and says, with file,
// line and column, what each line will do wherever that is probably not what
// its author meant. It writes nothing and moves nothing.
#pragma once

#include "skin/check/script_check_text.h"
#include "skin/findings.h"
#include "skin/script/script_reader.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace skin {

// One finding as a plain value: where, how bad, its stable name and its text.
// A finding about a stretch of lines (one cause reaching over them) stands at
// the first and gives the last in `lastLine`.
struct Finding {
    std::u16string file;      // relative to the program folder, "\"-separated
    std::size_t line = 0;     // 1-based; 0 for a finding about a whole file
    std::size_t column = 0;   // 1-based, in characters as the author's editor counts them
    std::size_t lastLine = 0; // the span's last line; 0 for a finding of one line
    Severity severity = Severity::Warning;
    std::string_view name; // the stable name the author's guide explains
    std::u16string text;
    std::u16string word;   // the key or file it is about, which a run of them lists
    std::size_t count = 1; // the findings it stands for: more than one for a run
    // A run of statements: how many of each kind, the most frequent first.
    std::vector<std::pair<std::u16string, std::size_t>> kinds;

    // A free word in a text is shown up to this many characters, then "...".
    static constexpr std::size_t kQuotedLength = check_text::kQuotedLength;

    // A finding at no span, its severity the registry's.
    static Finding Whole(std::u16string file, std::size_t line, std::size_t column,
                         std::string_view name, std::u16string text);

    const std::u16string& File() const { return file; }
    const std::u16string& Text() const { return text; }
    std::size_t LastLine() const { return lastLine > line ? lastLine : line; }
};

// A data or icon file that a line asks for, with the identifier it goes under.
struct FileReference {
    std::size_t line = 0;
    std::size_t column = 0; // of the value token
    std::size_t keyColumn = 0;
    RequestKind kind = RequestKind::Nothing;
    std::u16string name;      // relative to Files\, as the line gives it
    std::u16string key;       // the key token
    std::size_t previous = 0; // the previous line that wrote the same resource, 0 for none
    // The finding of an option word in place of the name, plus one; 0 for none.
    std::size_t optionWordFinding = 0;
};

// One script read line by line as the build reads it, with what the reader
// drops and the rules that need the whole script (string numbers, #define
// names, identifiers, statements and blocks of the resource language that a
// skin script does not have, the encoding). Touches no file.
//
// Read gives a finding for each line; Finish then folds them into one
// finding per cause (a block, a statement, a comment, a run of preprocessor
// lines, a run of one finding) and sorts them.
class ScriptCheck final : private ScriptReaderSink {
public:
    explicit ScriptCheck(std::u16string scriptFile) : file_(std::move(scriptFile)) {}
    void Read(std::span<const std::uint8_t> bytes);
    void Finish();

    std::vector<Finding>& Findings() { return findings_; }
    const std::vector<FileReference>& References() const { return references_; }
    const std::u16string& File() const { return file_; }

    // A finding on `line` at the reader's `column` (UTF-16 code units of the
    // line as the build decoded it).
    Finding& Add(std::size_t line, std::size_t column, std::string_view name, std::u16string text,
                 std::u16string_view word = {});
    // A word of the script as its author's editor shows it.
    std::u16string Shown(std::u16string_view word) const;

private:
    // What the reader did with one line.
    struct LineRecord {
        ScriptLineState before = ScriptLineState::None;
        RequestKind request = RequestKind::Nothing;
        std::int32_t entry = 0;   // the string entry it became, 0 for none
        std::uint32_t define = 0; // the #define record it added, plus one; 0 for none
    };
    struct Span {
        std::size_t first = 0, last = 0; // 1-based lines
    };
    // A BEGIN ... END block, or one in braces, and the statement it belongs to.
    struct Block {
        Span span;
        bool braces = false;
        std::size_t statement = 0; // its statement's first line; 0 for none
    };

    void Notice(ReaderNotice notice, std::size_t column, std::u16string_view text) override;
    void Columns(const TokenColumns& columns) override { columns_ = columns; }

    void Encoding(std::span<const std::uint8_t> bytes);
    void EncodingRead();
    void Apply(LineRequest& request);
    void StringEntry(const LineRequest& request);
    void BackslashAtEnd(std::u16string_view code, std::u16string_view entry);
    std::size_t EndColumn(std::u16string_view code) const;
    std::size_t EditorColumn(std::size_t line, std::size_t column) const;

    // The passes of Finish: causes over spans (script_check_causes.cpp), runs
    // (script_check_runs.cpp).
    std::u16string_view Code(std::size_t line) const;
    std::size_t Opener(std::size_t line) const;
    bool InCause(std::size_t line) const;
    void Cover(Span span);
    std::u16string Effect(std::span<const Span> spans) const;
    std::u16string Effect(Span span) const { return Effect(std::span<const Span>(&span, 1)); }
    Finding& AddSpan(Span span, std::string_view name, std::u16string text);
    void FindBlocks();
    Block* BlockAt(std::size_t line);
    void Statements();
    void BlockFindings();
    void Comments();
    void Preprocessor();
    void Unreachable();
    void Absorb();
    void KeyAndText();
    // Folds identical findings of one cause on stretches that follow each other.
    void Stretches();
    // Folds runs of one name (of `only`, when given) into one finding each.
    void Runs(std::size_t gap, std::size_t least, std::string_view only = {});
    // Folds `members` (of one name, in line order) into the first; the others
    // are marked gone.
    void Fold(std::span<const std::size_t> members, std::vector<bool>& gone);

    std::u16string file_;
    std::vector<std::u16string> lines_;
    std::vector<LineRecord> records_; // one per line
    std::vector<Finding> findings_;
    std::vector<bool> covered_;         // per line: covered by the span of a finding of one cause
    std::vector<bool> inBlock_;         // per line: inside a BEGIN ... END block or braces
    std::vector<Block> blocks_;         // in line order
    std::size_t includeQuoted_ = 0;     // the first #include "..." line
    std::size_t includeSystem_ = 0;     // the first #include <...> line
    std::size_t optionWordLine_ = 0;    // the last line with an option word for its file
    std::size_t optionWordFinding_ = 0; // that word's finding, plus one
    std::vector<FileReference> references_;
    std::size_t line_ = 0;
    TokenColumns columns_;
    DefineTable defines_;
    std::vector<std::size_t> defineLines_; // the line of each #define record
    // The last line where each resource was written: by kind and number
    // (the kind in bit 16), and by kind and name.
    std::unordered_map<std::uint32_t, std::size_t> numberedLines_;
    std::unordered_map<std::u16string, std::size_t> namedLines_;
    std::int32_t entries_ = 0;
    bool utf8Shown_ = false;    // no marker, but the bytes are UTF-8: shown as UTF-8
    std::string_view encoding_; // the finding for characters above 127 the build reads, if any
};

struct CheckReport {
    std::vector<Finding> findings; // by file, then line and column
    std::size_t scripts = 0;       // scripts found and read
    std::size_t Count(Severity severity) const;
};

// Checks the skin of the program folder `programFolder` (ending in a
// separator, or empty for the current folder): each script of the table, the
// files they name, what "Used files" would leave in Files\ and the modules in
// _skin\ that no script builds any more.
CheckReport CheckSkin(const std::u16string& programFolder);

// One finding as editors and terminals read it, with the path as the system
// writes it: "Files\vistel.rc:12:5: warning: <text> [<name>]".
std::u16string FindingLine(const Finding& finding);

// The most findings a script of `lines` lines gets: one for every eighth
// line, and never fewer than 25 allowed.
std::size_t FindingLimit(std::size_t lines);

} // namespace skin
