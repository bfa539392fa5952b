#include "app/win32/error_box.h"

#include "app/app_title.h"
#include "app/error_report.h"
#include "app/win32/win32_text.h"
#include "platform/platform.h"

namespace app::win32 {

void ShowErrorBox(HWND owner, const std::u16string& text) {
    std::wstring message = Wide(text);
    // The box's text ends at a NUL; what follows one would be lost unseen.
    for (wchar_t& c : message)
        if (c == L'\0')
            c = L' ';
    const std::wstring title = Wide(ApplicationTitle(platform::GetExeFileName()));
    // A box without an owner comes to the front: nothing else of the program
    // is on the screen yet to bring it there.
    const UINT flags = MB_OK | MB_ICONERROR | (owner == nullptr ? MB_SETFOREGROUND : 0u);
    MessageBoxW(owner, message.c_str(), title.c_str(), flags);
}

void ReportError(HWND owner, const std::exception& error) {
    ShowErrorBox(owner, ErrorReportText(ErrorMessage(error)));
}

} // namespace app::win32
