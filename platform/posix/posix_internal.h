// Helpers shared by the POSIX files of the platform layer (not for other layers).
#pragma once

#include "platform/platform.h"

#include <cerrno>
#include <string>

namespace platform::posix {

// A UTF-16 path as the kernel sees it: UTF-8 bytes.
inline std::string NativePath(std::u16string_view path) {
    return Utf16ToUtf8(path);
}

// Stores errno as the thread's last error (0 stays 0: EIO then, so a failure is
// never reported with code 0).
inline void SetLastErrorFromErrno() {
    int e = errno;
    SetLastError(e > 0 ? static_cast<std::uint32_t>(e) : static_cast<std::uint32_t>(EIO));
}

// Emulates the Windows read-only attribute: a file without any write
// permission bit refuses to be opened for writing, even by root.
bool HasWriteBit(unsigned mode);

// The arguments of /proc/self/cmdline (each ended by a NUL) as one command
// line: joined by spaces, an argument holding a space or a tab, or nothing at
// all, put in double quotes.
std::string JoinCommandLine(std::string_view arguments);

} // namespace platform::posix
