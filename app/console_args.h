// The command line of the console programs (KestoSkinCheck, and those that
// follow it): the flags that ask for the usage, unknown options, and the
// operands that are left. Nothing here writes; the program prints the usage
// where the outcome says.
//
//   --help, -h, /?    the usage on standard output, exit status 0
//   -x, --x, -        an unknown option: the problem and the usage on
//                     standard error, exit status 2 (kMisuseStatus)
//   /x (Windows)      the same: "/" and letters only is a switch there
//   --out FOLDER      an option the program names as taking a value: the
//                     next argument is its value, whatever it looks like
//   --                ends the options: every later argument is an operand
//   anything else     an operand ("/home/x" on Linux, "./-name" anywhere)
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace app {

// Whether "/" followed by letters is a switch (Windows) rather than a path.
#ifdef _WIN32
inline constexpr bool kSlashSwitches = true;
#else
inline constexpr bool kSlashSwitches = false;
#endif

// The exit status of a command line that asked for the usage, and of one the
// program cannot use.
inline constexpr int kUsageStatus = 0;
inline constexpr int kMisuseStatus = 2;

struct ConsoleArguments {
    enum class Outcome {
        Run,   // go on with the operands
        Usage, // print the usage to standard output and end with kUsageStatus
        Misuse // print `problem` and the usage to standard error, kMisuseStatus
    };
    Outcome outcome = Outcome::Run;
    std::vector<std::u16string> operands;
    // Each option that takes a value, with it, in command-line order.
    std::vector<std::pair<std::u16string, std::u16string>> values;
    std::u16string problem; // "unknown option "--x"", for Misuse
};

// Reads `arguments` (those after the program's name). The first help flag or
// problem decides; more than `maxOperands` operands, an option of
// `valueOptions` without its value or given twice, is a misuse.
ConsoleArguments ReadConsoleArguments(const std::vector<std::u16string>& arguments,
                                      std::size_t maxOperands, bool slashSwitches = kSlashSwitches,
                                      std::span<const std::u16string_view> valueOptions = {});

// An option's numeric value ("--language 1049" or "--language 0x419"):
// decimal digits, or "0x" and hexadecimal digits, at most `max`; nothing
// when the text is anything else.
std::optional<std::uint32_t> ReadNumber(std::u16string_view text, std::uint32_t max);

} // namespace app
