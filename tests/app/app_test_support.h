// Helpers of the shell's tests: a view that records what Tfrm does to it, a
// program folder on disk, a few text conversions and tables of texts.
#pragma once

#include "app/frm_view.h"
#include "platform/platform.h"
#include "tests/support/scratch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace app_test {

// Records every log line and every cursor change, in the order they came.
class RecordingView final : public app::FrmView {
public:
    void AppendLogLine(std::u16string_view line) override {
        lines.emplace_back(line);
        events.push_back(u"line " + std::u16string(line));
    }
    void SetWaitCursor(bool busy) override {
        events.push_back(busy ? u"cursor wait" : u"cursor default");
    }
    // The log as one text, a line feed after each line.
    std::u16string Text() const {
        std::u16string text;
        for (const auto& line : lines)
            text += line + u'\n';
        return text;
    }

    std::vector<std::u16string> lines;
    std::vector<std::u16string> events;
};

inline std::string Narrow(const std::u16string& s) {
    return platform::Utf16ToUtf8(s);
}

// A text and what a function of texts must make of it.
struct TextCase {
    std::u16string text, expected;
};

// Each case through `f`, its text named where it fails.
template <typename F> void ExpectEachGives(F f, std::initializer_list<TextCase> cases) {
    for (const TextCase& c : cases)
        EXPECT_EQ(Narrow(f(c.text)), Narrow(c.expected)) << Narrow(c.text);
}

// A fresh empty program folder, removed with all its content (read-only
// files included) when the test ends.
class TempProgramFolder : public ksbtest::ScratchFolder {
public:
    TempProgramFolder() : ScratchFolder("app") {}

    bool IsFolder(const std::string& relative) const {
        return std::filesystem::is_directory(Path(relative));
    }
    bool Exists(const std::string& relative) const {
        return std::filesystem::exists(Path(relative));
    }
    void MakeReadOnly(const std::string& relative) const { ksbtest::MakeReadOnly(Path(relative)); }
};

} // namespace app_test
