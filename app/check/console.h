// The checker's terminal: its arguments, its output lines, and the pause that
// keeps a console window of its own open until the user has read it.
#pragma once

#include "app/console_args.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace app::check {

// The arguments after the program's name.
std::vector<std::u16string> Arguments(int argc, char** argv);

// Writes one line to standard output: UTF-8 into a file or a pipe, the
// console's own characters into a console.
void WriteLine(std::u16string_view line);
// The same on standard error, after what standard output holds so far.
void WriteErrorLine(std::u16string_view line);

// Waits for a key when the checker was started in a console window of its
// own (from Explorer); never when the input or the output is redirected.
void PauseIfOwnConsole();

// Reads the command line (ReadConsoleArguments) and answers what is not a
// run: the usage on standard output (--help), or the problem and the usage
// on standard error. The exit status then, or nothing when the program runs
// with `read`.
std::optional<int> AnswerCommandLine(int argc, char** argv, std::u16string_view program,
                                     std::span<const std::u16string_view> usage,
                                     std::size_t maxOperands, ConsoleArguments& read,
                                     std::span<const std::u16string_view> valueOptions = {});

} // namespace app::check
