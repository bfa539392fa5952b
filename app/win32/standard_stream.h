// One of the process's standard handles, used only when it leads to a file or
// a pipe: a program of the window subsystem started from a console has handles
// that lead nowhere useful, and a console would need text in its own code page.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string_view>

namespace app::win32 {

class StandardStream {
public:
    static StandardStream Output() { return StandardStream(STD_OUTPUT_HANDLE); }
    static StandardStream Error() { return StandardStream(STD_ERROR_HANDLE); }

    // True while lines written here reach a file or a pipe.
    bool IsOpen() const { return handle_ != nullptr; }

    // Writes the line in UTF-8 followed by CR LF. A write that fails (a reader
    // that went away, a full disk) closes the stream for the rest of the run;
    // the run itself goes on.
    void WriteLine(std::u16string_view line);

private:
    explicit StandardStream(DWORD which);
    HANDLE handle_ = nullptr; // the process's own handle, not closed here
};

} // namespace app::win32
