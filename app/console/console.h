// The terminal of the two console programs (KestoSkinCheck, KestoSkinUnpack):
// their arguments, their output lines, and the pause that keeps a console
// window of its own open until the user has read it.
#pragma once

#include "app/console_args.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace app::console {

// The arguments after the program's name.
std::vector<std::u16string> Arguments(int argc, char** argv);

// A text as a terminal may show it: every C0 control, DEL and C1 control
// written as a compiler writes it in a message ("\n", "\t", "\x1b", "\x85"),
// U+2028 and U+2029 as "\u2028" and "\u2029", and a lone surrogate, which has
// no UTF-8 form, as its code unit ("\xd800"). A backslash stays as it is,
// since paths hold it. What comes from a script, a file name or a module thus
// stays on its line and cannot steer the terminal.
std::u16string TerminalText(std::u16string_view text);

// Writes one line, as TerminalText shows it, to standard output: UTF-8 into a
// file or a pipe, the console's own characters into a console.
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

} // namespace app::console
