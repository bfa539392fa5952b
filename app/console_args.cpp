#include "app/console_args.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace app {

namespace {

bool IsLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsHelpFlag(std::u16string_view argument) {
    return argument == u"--help" || argument == u"-h" || argument == u"/?";
}

// An argument that reads as an option rather than a folder.
bool IsOption(std::u16string_view argument, bool slashSwitches) {
    if (argument.starts_with(u'-'))
        return true;
    return slashSwitches && argument.size() > 1 && argument.front() == u'/' &&
           std::all_of(argument.begin() + 1, argument.end(), IsLetter);
}

std::u16string Quoted(std::u16string_view text) {
    return u"\"" + std::u16string(text) + u"\"";
}

} // namespace

ConsoleArguments ReadConsoleArguments(const std::vector<std::u16string>& arguments,
                                      std::size_t maxOperands, bool slashSwitches) {
    using Outcome = ConsoleArguments::Outcome;
    std::vector<std::u16string> operands;
    bool optionsEnded = false;
    for (const std::u16string& argument : arguments) {
        if (!optionsEnded && argument == u"--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && IsHelpFlag(argument))
            return {Outcome::Usage, {}, {}};
        if (!optionsEnded && IsOption(argument, slashSwitches))
            return {Outcome::Misuse, {}, u"unknown option " + Quoted(argument)};
        if (operands.size() == maxOperands)
            return {Outcome::Misuse, {}, u"unexpected argument " + Quoted(argument)};
        operands.push_back(argument);
    }
    return {Outcome::Run, std::move(operands), {}};
}

} // namespace app
