// The Linux program. Without an argument it shows the window. With one it
// runs the build (or, for "/used", Used files) without starting Qt at all, so
// no display is needed, printing the log to standard output; an error that
// escapes such a run goes to standard error with exit code 1, or, when there
// is a display, to the error box, after which the window shows the log; when
// that window is closed, the exit code is 1 as well.
#include "app/command_line.h"
#include "app/console_view.h"
#include "app/error_report.h"
#include "app/qt/window_module.h"
#include "app/u_frm.h"
#include "platform/platform.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <dlfcn.h>
#include <unistd.h>

namespace {

bool EnvironmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// A display, or a platform chosen explicitly (offscreen, for one).
bool HaveDisplay() {
    return EnvironmentSet("DISPLAY") || EnvironmentSet("WAYLAND_DISPLAY") ||
           EnvironmentSet("QT_QPA_PLATFORM");
}

void PrintError(const std::u16string& text) {
    std::fflush(stdout); // the log written so far comes first
    const std::string bytes = platform::Utf16ToUtf8(text) + "\n";
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

// The folder of the running program file, ending in "/"; empty when the
// system does not say (the module is then looked for on the run path).
std::string ProgramFolder() {
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size())
        return {};
    path.resize(static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

// Shows the window until it is closed, through the window module beside the
// program. `before` is what a command-line run wrote before its error,
// `error` that error's text (empty: no error).
int ShowWindow(char* programName, app::Tfrm& frm, const std::vector<std::string>& arguments,
               const std::vector<std::u16string>& before, const std::u16string& error) {
    // Loaded from the program's own folder, and kept loaded: Qt is not made
    // to be unloaded.
    const std::string modulePath = ProgramFolder() + app::kWindowModuleName;
    void* module = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto show =
        module != nullptr
            ? reinterpret_cast<app::ShowWindowFunction>(dlsym(module, app::kShowWindowSymbol))
            : nullptr;
    if (show == nullptr) {
        const char* reason = dlerror();
        PrintError(u"Cannot load the window: " +
                   platform::Utf8ToUtf16(reason != nullptr ? reason : app::kWindowModuleName));
        return 1;
    }
    const app::WindowRequest request{programName, &frm, &arguments, &before, &error};
    return show(request);
}

} // namespace

int main(int, char** argv) {
    // A write past a file-size limit (ulimit -f) is then an error the build
    // reports (EFBIG), not the end of the process with a module half written.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string> arguments = app::SplitCommandLine(platform::CommandLineBytes());
    app::Tfrm frm;
    char* programName = argv[0] != nullptr ? argv[0] : const_cast<char*>("KestoSkinBuilder");

    if (app::CommandLineAction(arguments) == app::StartAction::ShowWindow) {
        if (!HaveDisplay()) {
            PrintError(u"No display to show the window on. Start the program with an argument "
                       u"to build without a window, or with /used for Used files.");
            return 1;
        }
        return ShowWindow(programName, frm, arguments, {}, {});
    }

    // A reader of the log that goes away must not end the run midway.
    std::signal(SIGPIPE, SIG_IGN);
    app::ConsoleView console(stdout, isatty(fileno(stdout)) != 0);
    frm.BindView(console);
    std::u16string error;
    try {
        frm.TntFormCreate(arguments);
        frm.TntFormDestroy();
        return 0;
    } catch (const std::exception& e) {
        error = app::ErrorReportText(app::ErrorMessage(e));
    }
    if (!HaveDisplay()) {
        PrintError(error);
        return frm.ExitStatus();
    }
    std::fflush(stdout);
    return ShowWindow(programName, frm, arguments, console.Lines(), error);
}
