// The window module's one entry: the Qt application and the window.
#include "app/qt/window_module.h"

#include "app/qt/error_box.h"
#include "app/qt/frm_window.h"

#include <QApplication>

extern "C" __attribute__((visibility("default"))) int
KsbShowWindow(const app::WindowRequest& request) {
    // Qt sees no argument: the program's own arguments are not Qt options.
    int argc = 1;
    char* argv[] = {request.ProgramName, nullptr};
    QApplication application(argc, argv);
    app::FrmWindow window(*request.Frm);
    for (const std::u16string& line : *request.Before)
        window.AppendLogLine(line);
    if (request.Error->empty())
        request.Frm->TntFormCreate(*request.Arguments);
    else
        app::ShowErrorBox(nullptr, *request.Error);
    window.show();
    QApplication::exec();
    return request.Frm->ExitStatus();
}
