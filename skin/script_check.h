// The skin checker: reads Files\ by the build's own rules and says, with file,
// line and column, what each line will do wherever that is probably not what
// its author meant. It writes nothing and moves nothing.
#pragma once

#include "skin/script_reader.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace skin {

enum class Severity { Note, Warning, Error };

struct Finding {
    std::u16string file;    // relative to the program folder, "\"-separated
    std::size_t line = 0;   // 1-based; 0 for a finding about a whole file
    std::size_t column = 0; // 1-based, in UTF-16 code units of the line
    Severity severity = Severity::Warning;
    std::string_view name; // the stable name the author's guide explains
    std::u16string text;
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
    explicit ScriptCheck(std::u16string scriptFile) : file_(std::move(scriptFile)) {}
    void Read(std::span<const std::uint8_t> bytes);

    std::vector<Finding>& Findings() { return findings_; }
    const std::vector<FileReference>& References() const { return references_; }

private:
    void Notice(ReaderNotice notice, std::size_t column, std::u16string_view text) override;
    void Columns(const TokenColumns& columns) override { columns_ = columns; }

    void Encoding(std::span<const std::uint8_t> bytes);
    void Apply(LineRequest& request);
    void Add(std::size_t line, std::size_t column, std::string_view name, std::u16string text);

    std::u16string file_;
    std::vector<Finding> findings_;
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
