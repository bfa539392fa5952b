// The temporary folder and the process number on POSIX.
#include "platform/platform.h"

#include <cstdlib>
#include <unistd.h>

namespace platform {

std::string TempFolderAnsi() {
    // Like GetTempPathA, the folder ends in its separator.
    const char* dir = std::getenv("TMPDIR");
    std::string folder = (dir != nullptr && dir[0] != '\0') ? dir : "/tmp/";
    if (folder.back() != '/')
        folder.push_back('/');
    return folder;
}

char TempNameSeparator() {
    return '/';
}

std::u16string TempNameText(std::string_view name) {
    return Utf8ToUtf16(name);
}

std::uint32_t ProcessId() {
    return static_cast<std::uint32_t>(getpid());
}

} // namespace platform
