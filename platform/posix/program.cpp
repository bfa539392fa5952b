// The running program on POSIX: its file name, its resources (none: the
// program's data is compiled in) and its command line.
#include "platform/posix/posix_internal.h"

#include <fstream>
#include <iterator>
#include <unistd.h>

namespace platform {

namespace {

// The longest program path the shell takes, as GetModuleFileNameW into a
// buffer of 261 characters gives it.
constexpr std::size_t kExeNameLimit = 261;

} // namespace

std::u16string GetExeFileName() {
    std::string target(4096, '\0');
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", target.data(), target.size());
        if (n < 0) {
            posix::SetLastErrorFromErrno();
            return {};
        }
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            break;
        }
        target.resize(target.size() * 2);
    }
    std::u16string name = Utf8ToUtf16(target);
    if (name.size() > kExeNameLimit)
        name.resize(kExeNameLimit);
    return name;
}

std::vector<std::uint8_t> ReadOwnResource(std::u16string_view, std::u16string_view) {
    return {};
}

std::string posix::JoinCommandLine(std::string_view arguments) {
    std::string line;
    std::size_t start = 0;
    while (start < arguments.size()) {
        std::size_t end = arguments.find('\0', start);
        if (end == std::string_view::npos)
            end = arguments.size();
        std::string_view argument = arguments.substr(start, end - start);
        if (start != 0)
            line.push_back(' ');
        bool quoted = argument.empty() || argument.find_first_of(" \t") != std::string_view::npos;
        if (quoted)
            line.push_back('"');
        line.append(argument);
        if (quoted)
            line.push_back('"');
        start = end + 1;
    }
    return line;
}

std::string CommandLineBytes() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return posix::JoinCommandLine(raw);
}

} // namespace platform
