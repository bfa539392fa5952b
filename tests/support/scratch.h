// The scratch folder of the C++ tests and fuzz targets, and the small file
// helpers that go around the layers under test: plain streams, no platform
// call but the process id and the path join.
//
// A scratch folder is a fresh folder below the system's temporary folder (or
// a parent of the test's choosing), removed with all it holds, read-only
// files included, when it goes.
#pragma once

#include "platform/platform.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace ksbtest {

namespace fs = std::filesystem;

using ByteVector = std::vector<std::uint8_t>;

// ---------------------------------------------------------------- files

// True when the whole of `bytes` was written.
inline bool WriteFile(const fs::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

inline bool WriteFile(const fs::path& path, std::string_view text) {
    return WriteFile(path,
                     std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

// The file's bytes in one read; empty for a file that cannot be read.
inline ByteVector ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return {};
    const std::streamoff size = in.tellg();
    ByteVector bytes(size > 0 ? static_cast<std::size_t>(size) : 0);
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return bytes;
}

inline std::string ReadText(const fs::path& path) {
    const ByteVector bytes = ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

inline ByteVector BytesOf(std::string_view text) {
    return ByteVector(text.begin(), text.end());
}

// A path as the updater and the platform layer take it.
inline std::u16string U16(const fs::path& path) {
    return path.u16string();
}

inline void MakeReadOnly(const fs::path& path) {
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

// The updater's temporary files ("$kiv$res" names) below `folder`.
inline std::vector<fs::path> UpdaterTempFiles(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(folder, ignored);
         !ignored && it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->path().filename().string().find("$kiv$res") != std::string::npos)
            files.push_back(it->path());
    }
    return files;
}

// ---------------------------------------------------------------- the folder

class ScratchFolder {
public:
    // `name` is a word of the folder's name, for the one who finds it left
    // behind; `parent` is where it goes (the system's temporary folder when
    // empty).
    explicit ScratchFolder(const std::string& name = "test", fs::path parent = {}) {
        static std::atomic<unsigned> counter{0};
        if (parent.empty())
            parent = fs::temp_directory_path();
        fs::create_directories(parent);
        for (unsigned attempt = 0;; ++attempt) {
            root_ = parent / ("ksb-" + name + "-" + std::to_string(platform::ProcessId()) + "-" +
                              std::to_string(counter++));
            if (fs::create_directory(root_))
                break;
            if (attempt == 100)
                throw std::runtime_error("no scratch folder could be made in " + parent.string());
        }
    }
    ~ScratchFolder() {
        std::error_code ec;
        // Read-only files cannot be removed on Windows; give every write bit back first.
        for (auto it = fs::recursive_directory_iterator(root_, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            std::error_code ignored;
            if (!it->is_symlink(ignored))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(root_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const fs::path& Root() const { return root_; }
    // The folder ending in its separator, as the program folder does.
    std::u16string Folder() const {
        return root_.u16string() + static_cast<char16_t>(fs::path::preferred_separator);
    }
    // A path below the folder; "\" in `relative` stands for the separator.
    fs::path Path(std::string relative) const {
        for (char& c : relative)
            if (c == '\\')
                c = '/';
        return (root_ / fs::path(relative)).make_preferred();
    }
    // The same through the platform layer's join, as the program forms it.
    std::u16string Path(std::u16string_view relative) const {
        return platform::JoinPath(Folder(), relative);
    }
    fs::path Native(std::u16string_view relative) const { return fs::path(Path(relative)); }

    // Writes `content` at `relative`, making the folders on the way.
    void Write(const std::string& relative, std::string_view content) const {
        const fs::path path = Path(relative);
        fs::create_directories(path.parent_path());
        WriteFile(path, content);
    }
    // The content of a file, or "<none>" when it does not exist as a file.
    std::string Read(const std::string& relative) const {
        const fs::path path = Path(relative);
        return fs::is_regular_file(path) ? ReadText(path) : "<none>";
    }

private:
    fs::path root_;
};

// A scratch folder whose "tmp" subfolder is the updater's temporary folder
// while it lives (TMPDIR on POSIX, TMP and TEMP on Windows), so that the
// updater's temporary files can be counted there.
class TempScratchFolder : public ScratchFolder {
public:
    explicit TempScratchFolder(const std::string& name = "test", fs::path parent = {})
        : ScratchFolder(name, std::move(parent)) {
        fs::create_directory(TempFolder());
        for (const char* variable : kVariables) {
            const char* old = std::getenv(variable);
            saved_.push_back(old ? std::optional<std::string>(old) : std::nullopt);
            Set(variable, TempFolder().string());
        }
    }
    ~TempScratchFolder() {
        for (std::size_t i = 0; i < saved_.size(); ++i)
            Set(kVariables[i], saved_[i]);
    }

    fs::path TempFolder() const { return Root() / "tmp"; }
    // The updater's temporary files there that exist: by name, and on Linux
    // the nameless ones this process holds open (as /proc/self/fd paths).
    std::vector<fs::path> TempFiles() const {
        std::vector<fs::path> files = UpdaterTempFiles(TempFolder());
#ifndef _WIN32
        // Nameless files (O_TMPFILE) show in /proc as "<folder>/#<inode> (deleted)".
        const std::string prefix = TempFolder().string() + "/#";
        const std::string suffix = " (deleted)";
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator("/proc/self/fd", ignored)) {
            const std::string target = fs::read_symlink(entry.path(), ignored).string();
            if (target.starts_with(prefix) && target.ends_with(suffix))
                files.push_back(entry.path());
        }
#endif
        return files;
    }
    std::size_t TempFileCount() const {
        return TempFiles().size();
    }

private:
#ifdef _WIN32
    static constexpr const char* kVariables[] = {"TMP", "TEMP"};
#else
    static constexpr const char* kVariables[] = {"TMPDIR"};
#endif

    static void Set(const char* variable, const std::optional<std::string>& value) {
#ifdef _WIN32
        _putenv_s(variable, value ? value->c_str() : "");
#else
        if (value)
            setenv(variable, value->c_str(), 1);
        else
            unsetenv(variable);
#endif
    }

    std::vector<std::optional<std::string>> saved_;
};

} // namespace ksbtest
