// The folder and file-name parts of a path, the same on every system: the
// folder part ends at the last "\", "/" or ":" (a drive letter counts as a
// folder of its own, as "C:" does on Windows).
#include "platform/platform.h"

namespace platform {

namespace {

std::size_t FileNameStart(std::u16string_view path) {
    std::size_t pos = path.find_last_of(u"\\/:");
    return pos == std::u16string_view::npos ? 0 : pos + 1;
}

} // namespace

std::u16string FolderPart(std::u16string_view path) {
    return std::u16string(path.substr(0, FileNameStart(path)));
}

std::u16string FileNamePart(std::u16string_view path) {
    return std::u16string(path.substr(FileNameStart(path)));
}

} // namespace platform
