#include "app/console/console.h"

namespace app::console {

std::optional<int> AnswerCommandLine(int argc, char** argv, std::u16string_view program,
                                     std::span<const std::u16string_view> usage,
                                     std::size_t maxOperands, ConsoleArguments& read,
                                     std::span<const std::u16string_view> valueOptions) {
    read = ReadConsoleArguments(Arguments(argc, argv), maxOperands, kSlashSwitches, valueOptions);
    switch (read.outcome) {
    case ConsoleArguments::Outcome::Run:
        return std::nullopt;
    case ConsoleArguments::Outcome::Usage:
        for (const std::u16string_view line : usage)
            WriteLine(line);
        return kUsageStatus;
    case ConsoleArguments::Outcome::Misuse:
        break;
    }
    WriteErrorLine(std::u16string(program) + u": " + read.problem);
    for (const std::u16string_view line : usage)
        WriteErrorLine(line);
    return kMisuseStatus;
}

} // namespace app::console
