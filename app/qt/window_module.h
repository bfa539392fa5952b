// What the program hands to the window module (libKestoSkinBuilderWindow.so),
// which it loads only to show the window. Both are built from the same
// sources in one build, so C++ types cross between them unchanged.
#pragma once

#include "app/u_frm.h"

#include <string>
#include <vector>

namespace app {

struct WindowRequest {
    char* ProgramName;
    Tfrm* Frm;
    const std::vector<std::string>* Arguments;
    // What a command-line run wrote before its error, and that error's text
    // (empty: no error, the window starts as without arguments).
    const std::vector<std::u16string>* Before;
    const std::u16string* Error;
};

// The module's entry: shows the window until it is closed; the exit code
// (1 after a command-line run that ended in an error, see Tfrm::ExitStatus).
using ShowWindowFunction = int (*)(const WindowRequest& request);
constexpr char kShowWindowSymbol[] = "KsbShowWindow";
constexpr char kWindowModuleName[] = "libKestoSkinBuilderWindow.so";

} // namespace app
