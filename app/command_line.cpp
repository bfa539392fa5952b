#include "app/command_line.h"

namespace app {

namespace {

bool IsBlank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

bool EndsArgument(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// Skips blanks and "" pairs before an argument.
std::size_t SkipToArgument(std::string_view text, std::size_t pos) {
    for (;;) {
        while (pos < text.size() && IsBlank(text[pos]))
            ++pos;
        if (pos + 1 < text.size() && text[pos] == '"' && text[pos + 1] == '"') {
            pos += 2;
            continue;
        }
        return pos;
    }
}

} // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    const std::string_view text = commandLine.substr(0, commandLine.find('\0'));
    std::vector<std::string> arguments;
    std::size_t pos = 0;
    for (;;) {
        pos = SkipToArgument(text, pos);
        std::string argument;
        while (pos < text.size() && !EndsArgument(text[pos])) {
            if (text[pos] == '"') {
                // A quoted stretch runs to the closing quote or to the end.
                ++pos;
                while (pos < text.size() && text[pos] != '"')
                    argument.push_back(text[pos++]);
                if (pos < text.size())
                    ++pos;
            } else {
                argument.push_back(text[pos++]);
            }
        }
        if (argument.empty())
            return arguments;
        arguments.push_back(std::move(argument));
    }
}

StartAction CommandLineAction(const std::vector<std::string>& arguments) {
    if (arguments.size() < 2)
        return StartAction::ShowWindow;
    return arguments[1] == kUsedFilesSwitch ? StartAction::UsedFiles : StartAction::Build;
}

} // namespace app
