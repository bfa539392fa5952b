// The console of the process that started this one, for a command-line run.
// The program belongs to the window subsystem, so that a start from Explorer
// or a shortcut opens no console window; started from cmd, PowerShell or
// Windows Terminal it therefore gets no console of its own either, and its
// standard output and error lead nowhere. A ParentConsole then attaches to
// the parent's console for its lifetime and gives its screen in place of the
// streams that had nowhere to go. A stream redirected to a file or a pipe,
// or one that already is a console, stays as it is; a program whose parent
// has no console attaches to nothing and writes nowhere, as before.
#pragma once

#include "app/win32/standard_stream.h"

namespace app::win32 {

class ParentConsole {
public:
    ParentConsole();
    ~ParentConsole();
    ParentConsole(const ParentConsole&) = delete;
    ParentConsole& operator=(const ParentConsole&) = delete;

    // Valid while this object lives: a console stream writes to its screen.
    StandardStream Output() const { return output_; }
    StandardStream Error() const { return error_; }

private:
    StandardStream output_ = StandardStream::Output();
    StandardStream error_ = StandardStream::Error();
    bool attached_ = false;
    HANDLE screen_ = INVALID_HANDLE_VALUE; // CONOUT$ of the attached console, owned
};

} // namespace app::win32
