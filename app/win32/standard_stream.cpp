#include "app/win32/standard_stream.h"

#include "platform/platform.h"

#include <string>

namespace app::win32 {

namespace {

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

// WriteFile and WriteConsoleW take at most a DWORD's worth at once.
constexpr std::size_t kMaxChunk = 0x10000000u;

DWORD ChunkOf(std::size_t rest) {
    return rest > kMaxChunk ? static_cast<DWORD>(kMaxChunk) : static_cast<DWORD>(rest);
}

} // namespace

StandardStream::StandardStream(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return;
    const DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE)
        kind_ = Kind::Redirected;
    else if (type == FILE_TYPE_CHAR && IsConsole(handle))
        kind_ = Kind::Console;
    else
        return;
    handle_ = handle;
}

StandardStream StandardStream::ConsoleScreen(HANDLE screen) {
    StandardStream stream;
    if (screen != nullptr && screen != INVALID_HANDLE_VALUE && IsConsole(screen)) {
        stream.handle_ = screen;
        stream.kind_ = Kind::Console;
    }
    return stream;
}

void StandardStream::WriteLine(std::u16string_view line) {
    bool ok = true;
    if (kind_ == Kind::Console) {
        std::u16string text(line);
        text += u"\r\n";
        for (std::size_t written = 0; ok && written < text.size();) {
            DWORD done = 0;
            ok = WriteConsoleW(handle_, text.data() + written, ChunkOf(text.size() - written),
                               &done, nullptr) &&
                 done != 0;
            written += done;
        }
    } else if (kind_ == Kind::Redirected) {
        std::string bytes = platform::Utf16ToUtf8(line);
        bytes += "\r\n";
        for (std::size_t written = 0; ok && written < bytes.size();) {
            DWORD done = 0;
            ok = WriteFile(handle_, bytes.data() + written, ChunkOf(bytes.size() - written), &done,
                           nullptr) &&
                 done != 0;
            written += done;
        }
    }
    if (!ok) {
        handle_ = nullptr;
        kind_ = Kind::Nowhere;
    }
}

} // namespace app::win32
