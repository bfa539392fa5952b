#include "platform/folder_list.h"

#include <filesystem>
#include <system_error>

namespace platform {

std::vector<FolderEntry> ListFolder(const std::u16string& path) {
    namespace fs = std::filesystem;
    std::vector<FolderEntry> entries;
    std::error_code error;
    fs::directory_iterator it(fs::path(path), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code typeError;
        FolderEntry entry;
        entry.name = it->path().filename().u16string();
        entry.folder = it->is_directory(typeError);
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace platform
