#include "platform/folder_list.h"

#include <exception>
#include <filesystem>
#include <system_error>

namespace platform {

std::vector<FolderEntry> ListFolder(const std::u16string& path) {
    namespace fs = std::filesystem;
    std::vector<FolderEntry> entries;
    std::error_code error;
    try {
        fs::directory_iterator it(fs::path(path), error);
        for (; !error && it != fs::directory_iterator(); it.increment(error)) {
            std::error_code typeError;
            FolderEntry entry;
            try {
                entry.name = it->path().filename().u16string();
            } catch (const std::exception&) {
                continue; // a POSIX name that is no UTF-8: no script can name it
            }
            entry.folder = it->is_directory(typeError);
            entry.link = it->is_symlink(typeError);
            entries.push_back(std::move(entry));
        }
    } catch (const std::exception&) {
        // A path that does not convert to the system's form lists nothing.
    }
    return entries;
}

} // namespace platform
