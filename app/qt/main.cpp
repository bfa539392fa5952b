// The Linux program. Without an argument it shows the window. With one it
// runs the build (or, for "/used", Used files) without starting Qt at all, so
// no display is needed, printing the log to standard output; an error that
// escapes such a run goes to standard error with exit code 1, or, when there
// is a display, to the error box, after which the window shows the log.
#include "app/command_line.h"
#include "app/console_view.h"
#include "app/error_report.h"
#include "app/qt/error_box.h"
#include "app/qt/frm_window.h"
#include "app/u_frm.h"
#include "platform/platform.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>

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

// Shows the window until it is closed. `before` is what a command-line run
// wrote before its error, `error` that error's text (empty: no error).
int ShowWindow(char* programName, app::Tfrm& frm, const std::vector<std::string>& arguments,
               const std::vector<std::u16string>& before, const std::u16string& error) {
    // Qt sees no argument: the program's own arguments are not Qt options.
    int argc = 1;
    char* argv[] = {programName, nullptr};
    QApplication application(argc, argv);
    app::FrmWindow window(frm);
    for (const std::u16string& line : before)
        window.AppendLogLine(line);
    if (error.empty())
        frm.TntFormCreate(arguments);
    else
        app::ShowErrorBox(nullptr, error);
    window.show();
    QApplication::exec();
    return 0;
}

} // namespace

int main(int, char** argv) {
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
        return 1;
    }
    std::fflush(stdout);
    return ShowWindow(programName, frm, arguments, console.Lines(), error);
}
