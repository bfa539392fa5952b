// The application's default error report on Linux: a message box with an
// error icon and an OK button, titled with the application's title.
#pragma once

#include <exception>
#include <string>

class QWidget;

namespace app {

// Shows the box for a message as it stands (the full stop rule already applied).
void ShowErrorBox(QWidget* parent, const std::u16string& text);

// Shows the box for an error that escaped a run.
void ReportError(QWidget* parent, const std::exception& error);

} // namespace app
