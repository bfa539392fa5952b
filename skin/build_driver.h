// The skin build driver: the eight fixed scripts compiled into eight modules.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace skin {

// The common base of the program's errors: a message for the user, shown by
// the application's error report or written to the log by the collector.
class GeneralError : public std::exception {
public:
    explicit GeneralError(std::u16string message) : message_(std::move(message)) {}
    const std::u16string& Message() const { return message_; }
    const char* what() const noexcept override { return "skin build error"; }

private:
    std::u16string message_;
};

// `what` ("Cannot create file"), the quoted path, a full stop and the
// system's text for the thread's last error.
GeneralError FileError(const char16_t* what, const std::u16string& path);

// Where the driver writes its lines (the main window's log).
class BuildLog {
public:
    virtual ~BuildLog() = default;
    virtual void AppendLine(std::u16string_view line) = 0;
};

struct SkinTarget {
    const char16_t* ScriptFile;   // relative to "Files\"
    const char16_t* OutputModule; // relative to the program folder
};
extern const SkinTarget kSkinTargets[8];

// Compiles every script that exists. `programFolder` ends in a separator (or
// is empty). `UsedFiles` is cleared and receives each script and each file a
// script names, relative to "Files\". With Discard true every update is thrown
// away, so the modules stay plain template copies. Errors of file operations
// end the run with a GeneralError ("Cannot create folder ...", "Cannot create
// file ...", "Cannot open file ...", "Cannot write file ..."). A module that
// the failing row had written but could not finish (a template copy cut
// short, an item the updater could not store, a failed commit) is removed;
// one the row could not open (held by another program) is left as it was.
void BuildSkins(bool Discard, const std::u16string& programFolder, BuildLog& log,
                std::vector<std::u16string>& UsedFiles);

} // namespace skin
