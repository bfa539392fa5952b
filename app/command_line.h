// The command line: its arguments, split from the single-byte text the way
// the program has always split them, and what the first one asks for.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace app {

// The switch that asks for Used files instead of the build. Compared exactly:
// same length, same bytes, letter case significant.
inline constexpr std::string_view kUsedFilesSwitch = "/used";

enum class StartAction {
    ShowWindow, // no argument
    Build,      // any first argument but the switch
    UsedFiles,  // the switch as first argument
};

// Splits the process's command line. Before each argument, characters 1 to 32
// and pairs of adjacent double quotes are skipped; an argument runs up to the
// next character 0 to 32 outside double quotes; double quotes group a stretch
// that may hold spaces and are themselves dropped. Element 0 is the program
// path; the list ends at the first argument that comes out empty (and at a
// NUL, where the text of a C string would end).
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// What a start with these arguments does. Arguments after the first are ignored.
StartAction CommandLineAction(const std::vector<std::string>& arguments);

} // namespace app
