#include "app/console/console.h"

#include "platform/platform.h"

#include <cstdio>

namespace app::console {

std::vector<std::u16string> Arguments(int argc, char** argv) {
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(platform::Utf8ToUtf16(argv[i]));
    return arguments;
}

void WriteLine(std::u16string_view line) {
    const std::string bytes = platform::Utf16ToUtf8(TerminalText(line)) + '\n';
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

void WriteErrorLine(std::u16string_view line) {
    std::fflush(stdout);
    const std::string bytes = platform::Utf16ToUtf8(TerminalText(line)) + '\n';
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
}

// A terminal outlives its programs: nothing to wait for.
void PauseIfOwnConsole() {}

} // namespace app::console
