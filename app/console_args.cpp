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
                                      std::size_t maxOperands, bool slashSwitches,
                                      std::span<const std::u16string_view> valueOptions) {
    using Outcome = ConsoleArguments::Outcome;
    ConsoleArguments read;
    const auto misuse = [](std::u16string problem) {
        return ConsoleArguments{Outcome::Misuse, {}, {}, std::move(problem)};
    };
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::u16string& argument = arguments[i];
        if (!optionsEnded && argument == u"--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && IsHelpFlag(argument))
            return {Outcome::Usage, {}, {}, {}};
        if (!optionsEnded && std::ranges::find(valueOptions, argument) != valueOptions.end()) {
            if (i + 1 == arguments.size())
                return misuse(u"option " + Quoted(argument) + u" needs a value");
            if (std::ranges::find(read.values, argument,
                                  &decltype(read.values)::value_type::first) != read.values.end())
                return misuse(u"option " + Quoted(argument) + u" given twice");
            read.values.emplace_back(argument, arguments[++i]);
            continue;
        }
        if (!optionsEnded && IsOption(argument, slashSwitches))
            return misuse(u"unknown option " + Quoted(argument));
        if (read.operands.size() == maxOperands)
            return misuse(u"unexpected argument " + Quoted(argument));
        read.operands.push_back(argument);
    }
    return read;
}

std::optional<std::uint32_t> ReadNumber(std::u16string_view text, std::uint32_t max) {
    std::uint32_t base = 10;
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    std::uint32_t number = 0;
    for (const char16_t c : text) {
        std::uint32_t digit = 0;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return std::nullopt;
        if (digit > max || number > (max - digit) / base)
            return std::nullopt;
        number = number * base + digit;
    }
    return number;
}

} // namespace app
