#include "app/console/console.h"

#include "app/win32/standard_stream.h"

#include <shellapi.h>

#include <memory>

namespace app::console {
namespace {

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

struct LocalFreeDeleter {
    void operator()(LPWSTR* p) const { LocalFree(p); }
};

} // namespace

std::vector<std::u16string> Arguments(int, char**) {
    std::vector<std::u16string> arguments;
    int count = 0;
    const std::unique_ptr<LPWSTR, LocalFreeDeleter> list(
        CommandLineToArgvW(GetCommandLineW(), &count));
    if (!list)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.emplace_back(reinterpret_cast<const char16_t*>(list.get()[i]));
    return arguments;
}

void WriteLine(std::u16string_view line) {
    static win32::StandardStream output = win32::StandardStream::Output();
    output.WriteLine(TerminalText(line));
}

void WriteErrorLine(std::u16string_view line) {
    static win32::StandardStream error = win32::StandardStream::Error();
    error.WriteLine(TerminalText(line));
}

void PauseIfOwnConsole() {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (!IsConsole(in) || !IsConsole(GetStdHandle(STD_OUTPUT_HANDLE)))
        return;
    DWORD processes[2] = {};
    if (GetConsoleProcessList(processes, 2) != 1)
        return; // a console that a shell shares with us stays open
    WriteLine(u"Press any key to close this window.");
    FlushConsoleInputBuffer(in);
    INPUT_RECORD record{};
    DWORD read = 0;
    while (ReadConsoleInputW(in, &record, 1, &read) && read == 1) {
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown)
            return;
    }
}

} // namespace app::console
