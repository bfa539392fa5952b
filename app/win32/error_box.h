// The application's default error report on Windows: a message box with the
// error icon and an OK button, titled with the application's title.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <exception>
#include <string>

namespace app::win32 {

// Shows the box for a message as it stands (the full stop rule already
// applied). `owner` may be null: the box then stands on its own.
void ShowErrorBox(HWND owner, const std::u16string& text);

// Shows the box for an error that escaped a run.
void ReportError(HWND owner, const std::exception& error);

} // namespace app::win32
