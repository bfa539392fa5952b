#include "app/qt/error_box.h"

#include "app/app_title.h"
#include "app/error_report.h"
#include "app/qt/qt_text.h"
#include "platform/platform.h"

#include <QMessageBox>

namespace app {

void ShowErrorBox(QWidget* parent, const std::u16string& text) {
    QMessageBox::critical(parent, ToQString(ApplicationTitle(platform::GetExeFileName())),
                          ToQString(text), QMessageBox::Ok);
}

void ReportError(QWidget* parent, const std::exception& error) {
    ShowErrorBox(parent, ErrorReportText(ErrorMessage(error)));
}

} // namespace app
