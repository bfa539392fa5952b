// A scratch folder for one test, removed with all its contents afterwards,
// and small file helpers that do not go through the layer under test.
#pragma once

#include "platform/platform.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace ksbtest {

namespace fs = std::filesystem;

inline fs::path PathOf(const std::u16string& path) {
    return fs::path(path);
}

class ScratchFolder {
public:
    ScratchFolder() {
        static std::atomic<unsigned> counter{0};
        root_ =
            fs::temp_directory_path() / ("ksb-platform-" + std::to_string(platform::ProcessId()) +
                                         "-" + std::to_string(counter++));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    ~ScratchFolder() {
        std::error_code ec;
        // Read-only files cannot be removed on Windows; give every write bit back first.
        for (auto it = fs::recursive_directory_iterator(root_, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            std::error_code ignored;
            if (!it->is_symlink(ignored))
                fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
        }
        fs::remove_all(root_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder ending in its separator, as the program folder does.
    std::u16string Folder() const {
        return root_.u16string() + static_cast<char16_t>(fs::path::preferred_separator);
    }
    // A path below the folder; "\" in `relative` stands for the separator.
    std::u16string Path(std::u16string_view relative) const {
        return platform::JoinPath(Folder(), relative);
    }
    fs::path Native(std::u16string_view relative) const { return PathOf(Path(relative)); }

private:
    fs::path root_;
};

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline std::vector<std::uint8_t> Bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

inline void MakeReadOnly(const fs::path& path) {
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

} // namespace ksbtest
