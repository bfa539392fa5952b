// The skin checker: reads Files\ by the build's own rules and says, with file,
// line and column, what each line will do wherever that is probably not what
// its author meant. It writes nothing and moves nothing.
#pragma once

#include "skin/script_reader.h"

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

namespace skin {

enum class Severity { Note, Warning, Error };

// What a finding's text is made of (see Finding::Text).
enum class Message : std::uint8_t {
    Whole,             // Word() is the whole text
    Notice,            // the reader's notice numbers[0], about Word()
    BrokenUtf8,        // bytes that are no UTF-8 character
    StringUnreachable, // string entry numbers[0]
    StringNumber,      // string entry numbers[0] under key numbers[1]
    StringCut,         // a string of numbers[0] characters
    DefineAgain,       // the name Word(), first defined on line numbers[0]
    IdOutOfRange,      // the key Word(), resolved to the 32-bit value numbers[0]
    IdNotFound,        // the key Word()
    WrittenTwice,      // the key Word() of an icon (numbers[0] 1) or data, first on line numbers[1]
};

// What the findings of a script point into: the script's path and the words
// their messages quote, one after the other.
struct FindingTexts {
    std::u16string file; // relative to the program folder, "\"-separated
    std::u16string words;
};

// A finding keeps what its text is made of and builds the text when asked:
// a script with a finding on every other line then costs a few numbers and
// a place in the script's words for each.
struct Finding {
    std::shared_ptr<const FindingTexts> texts;
    std::size_t line = 0;   // 1-based; 0 for a finding about a whole file
    std::size_t column = 0; // 1-based, in UTF-16 code units of the line
    Severity severity = Severity::Warning;
    Message message = Message::Whole;
    std::string_view name; // the stable name the author's guide explains
    // The text, or the word it quotes (cut after kQuotedWord code units), in texts->words.
    std::size_t wordAt = 0;
    std::size_t wordLength = 0;
    std::array<std::uint64_t, 2> numbers{};

    // A quoted word is shown up to this many code units, then "...".
    static constexpr std::size_t kQuotedLength = 40;
    static constexpr std::size_t kQuotedWord = kQuotedLength + 1;

    // A finding whose text is given whole.
    static Finding Whole(std::u16string file, std::size_t line, std::size_t column,
                         Severity severity, std::string_view name, std::u16string text);

    const std::u16string& File() const;
    std::u16string_view Word() const;
    std::u16string Text() const;
};

// A data or icon file that a line asks for, with the identifier it goes under.
struct FileReference {
    std::size_t line = 0;
    std::size_t column = 0; // of the value token
    RequestKind kind = RequestKind::Nothing;
    std::u16string name; // relative to Files\, as the line gives it
};

// One script read line by line as the build reads it, with what the reader
// drops and the rules that need the whole script (string numbers, #define
// names, identifiers, resources written twice, the encoding). Touches no file.
class ScriptCheck final : private ScriptReaderSink {
public:
    explicit ScriptCheck(std::u16string scriptFile)
        : texts_(std::make_shared<FindingTexts>(FindingTexts{std::move(scriptFile), {}})) {}
    void Read(std::span<const std::uint8_t> bytes);

    std::deque<Finding>& Findings() { return findings_; }
    std::shared_ptr<const FindingTexts> Texts() const { return texts_; }
    const std::vector<FileReference>& References() const { return references_; }

private:
    void Notice(ReaderNotice notice, std::size_t column, std::u16string_view text) override;
    void Columns(const TokenColumns& columns) override { columns_ = columns; }

    void Encoding(std::span<const std::uint8_t> bytes);
    void Apply(LineRequest& request);
    Finding& Add(std::size_t line, std::size_t column, std::string_view name, Message message,
                 std::u16string_view word = {});

    std::shared_ptr<FindingTexts> texts_;
    std::deque<Finding> findings_; // in pieces: growing moves no finding
    std::vector<FileReference> references_;
    std::size_t line_ = 0;
    TokenColumns columns_;
    DefineTable defines_;
    std::vector<std::size_t> defineLines_; // the line of each #define record
    // The line where each resource was first written: by kind and number (0
    // for none yet), and by kind and name.
    std::vector<std::size_t> numberedLines_;
    std::unordered_map<std::u16string, std::size_t> namedLines_;
    std::int32_t entries_ = 0;
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

} // namespace skin
