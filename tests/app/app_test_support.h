// Helpers of the shell's tests: a view that records what Tfrm does to it, a
// temporary program folder on disk, and a few text conversions.
#pragma once

#include "app/frm_view.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
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

// A fresh empty folder under the system's temporary folder, removed with all
// its content (read-only files included) when the test ends.
class TempProgramFolder {
public:
    TempProgramFolder() {
        std::random_device random;
        const auto base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            auto candidate = base / ("ksb-app-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {
                root_ = candidate;
                return;
            }
        }
        ADD_FAILURE() << "no temporary folder could be created";
    }
    ~TempProgramFolder() {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root_, ignored))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(root_, ignored);
    }
    TempProgramFolder(const TempProgramFolder&) = delete;
    TempProgramFolder& operator=(const TempProgramFolder&) = delete;

    // The program folder as the shell works it out: ending in a separator.
    std::u16string Folder() const {
        return root_.u16string() +
               static_cast<char16_t>(std::filesystem::path::preferred_separator);
    }
    const std::filesystem::path& Root() const { return root_; }

    // A path below the folder from a relative path written with "\".
    std::filesystem::path Path(std::string relative) const {
        for (char& c : relative)
            if (c == '\\')
                c = '/';
        return (root_ / std::filesystem::path(relative)).make_preferred();
    }
    void Write(const std::string& relative, const std::string& content) const {
        const auto path = Path(relative);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
    }
    // The content of a file, or "<none>" when it does not exist as a file.
    std::string Read(const std::string& relative) const {
        const auto path = Path(relative);
        if (!std::filesystem::is_regular_file(path))
            return "<none>";
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool IsFolder(const std::string& relative) const {
        return std::filesystem::is_directory(Path(relative));
    }
    bool Exists(const std::string& relative) const {
        return std::filesystem::exists(Path(relative));
    }
    void MakeReadOnly(const std::string& relative) const {
        std::filesystem::permissions(Path(relative),
                                     std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_write |
                                         std::filesystem::perms::others_write,
                                     std::filesystem::perm_options::remove);
    }

private:
    std::filesystem::path root_;
};

} // namespace app_test
