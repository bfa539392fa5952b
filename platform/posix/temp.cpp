// The temporary folder and process numbers on POSIX.
#include "platform/platform.h"

#include <cerrno>
#include <climits>
#include <csignal>
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

bool ProcessRuns(std::uint32_t processId) {
    // kill() with 0 for a number of 0 or below would reach a process group.
    if (processId == 0 || processId > static_cast<std::uint32_t>(INT_MAX))
        return false;
    // Signal 0 checks only; EPERM is a process that runs under another user.
    return kill(static_cast<pid_t>(processId), 0) == 0 || errno != ESRCH;
}

} // namespace platform
