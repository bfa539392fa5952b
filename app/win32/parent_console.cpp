#include "app/win32/parent_console.h"

namespace app::win32 {

ParentConsole::ParentConsole() {
    if (output_.IsOpen() && error_.IsOpen())
        return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return; // no parent console (Explorer, a shortcut), or one of our own already
    attached_ = true;
    // The screen buffer by name: the standard handles of a process of the
    // window subsystem are not filled in by every system after the attach.
    screen_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (screen_ == INVALID_HANDLE_VALUE)
        return;
    if (!output_.IsOpen())
        output_ = StandardStream::ConsoleScreen(screen_);
    if (!error_.IsOpen())
        error_ = StandardStream::ConsoleScreen(screen_);
}

ParentConsole::~ParentConsole() {
    if (screen_ != INVALID_HANDLE_VALUE)
        CloseHandle(screen_);
    if (attached_)
        FreeConsole();
}

} // namespace app::win32
