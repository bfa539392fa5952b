// Where one of the process's standard streams leads for the lines of a
// command-line run: a file or a pipe (written in UTF-8, CR LF), a console
// (written as UTF-16 text, so that no code page is involved), or nowhere.
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
    enum class Kind { Nowhere, Redirected, Console };

    // The process's own standard output and error as they were handed to it.
    static StandardStream Output() { return StandardStream(GetStdHandle(STD_OUTPUT_HANDLE)); }
    static StandardStream Error() { return StandardStream(GetStdHandle(STD_ERROR_HANDLE)); }
    // A console screen buffer the caller keeps open while the stream is used.
    static StandardStream ConsoleScreen(HANDLE screen);

    Kind Where() const { return kind_; }
    // True while lines written here reach a file, a pipe or a console.
    bool IsOpen() const { return kind_ != Kind::Nowhere; }

    // Writes the line followed by CR LF. A write that fails (a reader that
    // went away, a full disk) closes the stream for the rest of the run; the
    // run itself goes on.
    void WriteLine(std::u16string_view line);

private:
    // A program of the window subsystem started from a console may hold no
    // handles, or handles that lead nowhere useful: only a file, a pipe or a
    // console that answers GetConsoleMode is taken.
    explicit StandardStream(HANDLE handle);
    StandardStream() = default;

    HANDLE handle_ = nullptr; // the process's or the caller's handle, not closed here
    Kind kind_ = Kind::Nowhere;
};

} // namespace app::win32
