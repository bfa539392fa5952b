// The main window on Windows: a thin Win32 view over Tfrm. It creates the
// controls of the window table, scales them by the font's text height, keeps
// their anchored edges on resize, forwards clicks to Tfrm's handlers and shows
// the error box for an error that escapes one.
#pragma once

#include "app/frm_view.h"
#include "app/u_frm.h"
#include "app/win32/base_window.h"
#include "app/win32/window_metrics.h"

#include <string>

namespace app::win32 {

class FrmWindow final : public BaseWindow, public FrmView {
public:
    FrmWindow(Tfrm& frm, HINSTANCE instance);
    ~FrmWindow() override;

    // Creates the window and its controls, hidden, sized for the font's text
    // height at the window's dots per inch, and binds itself to Tfrm as its
    // view. False (the system's last-error code set) when the window cannot
    // be created, as where there is no display.
    bool Create();
    // Shows the window; the first time centred on the screen.
    void Show(int showCommand);
    // The normal way out: the window is destroyed, which runs TntFormDestroy.
    void Destroy();
    // Keyboard navigation: Tab between the controls, Enter for the default
    // button. True when the message was handled and is not to be dispatched.
    bool HandleDialogKeys(MSG& message);

    // Lines of a run gather here and go into the log control together at its
    // end (FlushLog), or when the window is shown.
    void AppendLogLine(std::u16string_view line) override;
    void FlushLog();
    void SetWaitCursor(bool busy) override;

private:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    bool CreateControls();
    // Font, text height and the scaled design for `dpi`.
    void ApplyDpi(UINT dpi);
    void SetClientSize(Size client);
    void PlaceControls(Size client);
    // A click, with the error box for an error that escapes the handler.
    void Run(const PushButton& button);
    bool LogEndsWithEmptyLine() const;

    Tfrm& frm_;
    HWND controls_[3] = {}; // btnBuild, log, btnUsed: the window table's order
    UniqueFont font_;
    UniqueIcon smallIcon_;
    UniqueIcon largeIcon_;
    UINT dpi_ = kDesignDpi;
    int textHeight_ = 0;
    Size scaledClient_;       // the client size the scaled design is made for
    Rect scaledBounds_[3];    // the controls' places in it
    std::wstring pendingLog_; // lines not yet in the log control, each ending in CR LF
    HWND focused_ = nullptr;  // the control that gets the focus back on activation
    bool shown_ = false;      // shown (and centred) once
    int waitCursors_ = 0;
};

} // namespace app::win32
