#include "app/win32/standard_stream.h"

#include "platform/platform.h"

#include <string>

namespace app::win32 {

StandardStream::StandardStream(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return;
    const DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE)
        handle_ = handle;
}

void StandardStream::WriteLine(std::u16string_view line) {
    if (handle_ == nullptr)
        return;
    std::string bytes = platform::Utf16ToUtf8(line);
    bytes += "\r\n";
    std::size_t written = 0;
    while (written < bytes.size()) {
        // WriteFile takes at most a DWORD's worth at once.
        const std::size_t rest = bytes.size() - written;
        const DWORD chunk = rest > 0x10000000u ? 0x10000000u : static_cast<DWORD>(rest);
        DWORD done = 0;
        if (!WriteFile(handle_, bytes.data() + written, chunk, &done, nullptr) || done == 0) {
            handle_ = nullptr;
            return;
        }
        written += done;
    }
}

} // namespace app::win32
