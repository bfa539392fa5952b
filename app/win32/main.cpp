// The Windows program. Without an argument it shows the window. With one it
// creates the window hidden, runs the build (or, for "/used", Used files),
// writes each log line to standard output as well (a file, a pipe, or the
// console it was started from) and ends without ever showing the window. An
// error that escapes such a run goes to standard error and is shown in the
// error box, and then the window shows the log as the run left it; the exit
// code is then 1, also when that window is closed.
#include "app/command_line.h"
#include "app/error_report.h"
#include "app/u_frm.h"
#include "app/win32/echo_view.h"
#include "app/win32/error_box.h"
#include "app/win32/frm_window.h"
#include "app/win32/parent_console.h"
#include "app/win32/standard_stream.h"
#include "platform/platform.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace {

// Lets the visual styles of the manifest's Common Controls 6 take effect.
void InitialiseControls() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);
}

int RunEventLoop(app::win32::FrmWindow& window) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window.HandleDialogKeys(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

// Why there is no window, where a box may or may not be seen.
void ReportNoWindow() {
    const std::u16string text =
        u"The window cannot be created: " + platform::SystemErrorText(platform::LastError());
    app::win32::ParentConsole().Error().WriteLine(text);
    app::win32::ShowErrorBox(nullptr, app::ErrorReportText(text));
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    InitialiseControls();
    const std::vector<std::string> arguments = app::SplitCommandLine(platform::CommandLineBytes());
    const bool commandLineRun = app::CommandLineAction(arguments) != app::StartAction::ShowWindow;

    app::Tfrm frm;
    app::win32::FrmWindow window(frm, instance);
    const bool haveWindow = window.Create();
    if (!haveWindow && !commandLineRun) {
        ReportNoWindow();
        return 1;
    }

    if (!commandLineRun) {
        frm.TntFormCreate(arguments); // no argument: nothing to run
        window.Show(showCommand);
        return RunEventLoop(window);
    }

    std::u16string error;
    {
        // Attached for the run only: the console is let go before a box or
        // the window is shown.
        const app::win32::ParentConsole console;
        app::win32::EchoView echo(haveWindow ? &window : nullptr, console.Output());
        frm.BindView(echo);
        try {
            frm.TntFormCreate(arguments);
        } catch (const std::exception& e) {
            error = app::ErrorReportText(app::ErrorMessage(e));
        }
        frm.UnbindView(echo);
        // A caller that reads standard error learns why the run stopped.
        if (!error.empty())
            console.Error().WriteLine(error);
    }

    if (error.empty()) {
        // The normal way out: the window, never shown, goes, and TntFormDestroy runs.
        if (haveWindow)
            window.Destroy();
        else
            frm.TntFormDestroy();
        return 0;
    }

    if (!haveWindow) {
        frm.TntFormDestroy();
        return frm.ExitStatus();
    }
    frm.BindView(window);
    window.FlushLog(); // the log holds the run's lines before anything is seen
    app::win32::ShowErrorBox(nullptr, error);
    window.Show(showCommand);
    RunEventLoop(window);
    // A batch file that called the build reads its failure, whatever the
    // user did in the window meanwhile.
    return frm.ExitStatus();
}
