#include "app/win32/frm_window.h"

#include "app/win32/error_box.h"
#include "app/win32/win32_text.h"

#include <string>

namespace app::win32 {

namespace {

constexpr wchar_t kClassName[] = L"KestoSkinBuilderFrm";
constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = 0;
// Where the window was left when it was designed; centring moves it on first show.
constexpr int kDesignLeft = 623;
constexpr int kDesignTop = 270;

constexpr int kBuildIndex = 0;
constexpr int kLogIndex = 1;
constexpr int kUsedIndex = 2;
// Control identifiers. Not IDOK/IDCANCEL: Escape sends IDCANCEL, and no key
// is to run Used files.
constexpr int kControlIds[3] = {101, 102, 103};
const ControlDesign* const kDesigns[3] = {&kBtnBuildDesign, &kLogDesign, &kBtnUsedDesign};

// The window messages of newer systems, for the older headers.
constexpr UINT kWmDpiChanged = 0x02E0;

DWORD ControlStyle(const ControlDesign& design, bool isLog) {
    DWORD style = WS_CHILD | WS_TABSTOP | (design.Visible ? WS_VISIBLE : 0u);
    if (isLog) {
        // A vertical scroll bar only, so long lines wrap; Enter is a line break.
        style |= WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | ES_NOHIDESEL;
    } else {
        style |= design.IsDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    }
    return style;
}

bool ActivatesWindow(int showCommand) {
    switch (showCommand) {
    case SW_HIDE:
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
        return false;
    default:
        return true;
    }
}

} // namespace

FrmWindow::FrmWindow(Tfrm& frm, HINSTANCE instance) : BaseWindow(instance), frm_(frm) {}

FrmWindow::~FrmWindow() {
    Destroy();
    frm_.UnbindView(*this);
    while (waitCursors_ > 0)
        SetWaitCursor(false);
}

bool FrmWindow::Create() {
    const std::wstring caption = Wide(kFrmDesign.Caption);
    if (!CreateTopLevel(kClassName, caption.c_str(), kWindowStyle, kWindowExStyle, kDesignLeft,
                        kDesignTop))
        return false;
    ApplyDpi(WindowDpi(Handle()));
    if (!CreateControls()) {
        const DWORD error = GetLastError();
        Destroy();
        SetLastError(error);
        return false;
    }
    SetClientSize(scaledClient_);
    focused_ = controls_[kBuildIndex];
    frm_.BindView(*this);
    return true;
}

bool FrmWindow::CreateControls() {
    for (int i = 0; i < 3; ++i) {
        const ControlDesign& design = *kDesigns[i];
        const bool isLog = i == kLogIndex;
        const std::wstring text = Wide(design.Caption);
        const Rect& r = scaledBounds_[i];
        controls_[i] = CreateWindowExW(
            isLog ? WS_EX_CLIENTEDGE : 0, isLog ? L"EDIT" : L"BUTTON", text.c_str(),
            ControlStyle(design, isLog), r.Left, r.Top, r.Width, r.Height, Handle(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlIds[i])), Instance(), nullptr);
        if (controls_[i] == nullptr)
            return false;
        SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    }
    // The log has no length limit (0 lifts the default one).
    SendMessageW(controls_[kLogIndex], EM_SETLIMITTEXT, 0, 0);
    // The tab order is the order of the siblings: btnBuild, log, btnUsed.
    for (int i = 1; i < 3; ++i)
        SetWindowPos(controls_[i], controls_[i - 1], 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

void FrmWindow::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    // The controls take the new font and the window the new icons before the
    // old ones go, so that nothing ever holds a deleted handle.
    UniqueFont font = CreateDesignFont(dpi);
    if (font != nullptr) {
        SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        for (HWND control : controls_)
            if (control != nullptr)
                SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
        font_ = std::move(font);
    }
    textHeight_ = TextHeightOf(font_.get());
    scaledClient_ = ScaleToTextHeight(kFrmDesign.ClientSize, textHeight_);
    for (int i = 0; i < 3; ++i)
        scaledBounds_[i] = ScaleToTextHeight(kDesigns[i]->Bounds, textHeight_);

    UniqueIcon smallIcon = LoadMainIcon(Instance(), true, dpi);
    UniqueIcon largeIcon = LoadMainIcon(Instance(), false, dpi);
    SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.get()));
    SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon.get()));
    smallIcon_ = std::move(smallIcon);
    largeIcon_ = std::move(largeIcon);
}

void FrmWindow::SetClientSize(Size client) {
    const Size outer = OuterSizeFor(client, kWindowStyle, kWindowExStyle, dpi_);
    SetWindowPos(Handle(), nullptr, 0, 0, outer.Width, outer.Height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FrmWindow::PlaceControls(Size client) {
    for (int i = 0; i < 3; ++i) {
        if (controls_[i] == nullptr)
            continue;
        const Rect r =
            AnchoredBounds(scaledBounds_[i], kDesigns[i]->Anchors, scaledClient_, client);
        SetWindowPos(controls_[i], nullptr, r.Left, r.Top, r.Width, r.Height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void FrmWindow::Show(int showCommand) {
    if (Handle() == nullptr)
        return;
    if (!shown_) {
        shown_ = true;
        RECT frame{};
        GetWindowRect(Handle(), &frame);
        const POINT at = CentredPosition(Handle(), {static_cast<int>(frame.right - frame.left),
                                                    static_cast<int>(frame.bottom - frame.top)});
        SetWindowPos(Handle(), nullptr, at.x, at.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    FlushLog();
    ShowWindow(Handle(), showCommand);
    // The first control in tab order has the focus, as in a dialog box; this
    // also activates the window where showing it did not.
    // A start asked to stay in the background (minimised, not activated) stays there.
    HWND focus = GetFocus();
    if (focused_ != nullptr && ActivatesWindow(showCommand) &&
        (focus == nullptr || !IsChild(Handle(), focus)))
        SetFocus(focused_);
    UpdateWindow(Handle());
}

void FrmWindow::Destroy() {
    if (Handle() != nullptr)
        DestroyWindow(Handle());
}

bool FrmWindow::HandleDialogKeys(MSG& message) {
    if (Handle() == nullptr || (message.hwnd != Handle() && !IsChild(Handle(), message.hwnd)))
        return false;
    // Escape does nothing here. Passed on, it would make the multi-line log
    // post WM_CLOSE to the window, as the control does inside a dialog box.
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE)
        return true;
    return IsDialogMessageW(Handle(), &message) != FALSE;
}

void FrmWindow::AppendLogLine(std::u16string_view line) {
    // Kept until the run ends (FlushLog): the log control lays out its whole
    // text again for every insertion, which made a long run's lines take time
    // in proportion to their number squared. Nobody sees the difference: the
    // window neither repaints nor answers during a run.
    std::wstring& text = pendingLog_;
    const std::size_t start = text.size();
    text += Wide(line);
    // The control's text would end at a NUL, and the lines after it with it.
    for (std::size_t i = start; i < text.size(); ++i)
        if (text[i] == L'\0')
            text[i] = 0xFFFD;
    text += L"\r\n";
}

void FrmWindow::FlushLog() {
    HWND log = controls_[kLogIndex];
    if (log == nullptr || pendingLog_.empty())
        return;
    // Every line ends with a line break, so the next one starts below it.
    // Text the user typed without a final break gets one first.
    if (!LogEndsWithEmptyLine())
        pendingLog_.insert(0, L"\r\n");
    const int length = GetWindowTextLengthW(log);
    SendMessageW(log, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
    SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(pendingLog_.c_str()));
    pendingLog_.clear();
}

bool FrmWindow::LogEndsWithEmptyLine() const {
    HWND log = controls_[kLogIndex];
    const LRESULT lines = SendMessageW(log, EM_GETLINECOUNT, 0, 0);
    const LRESULT lastStart = SendMessageW(log, EM_LINEINDEX, static_cast<WPARAM>(lines - 1), 0);
    return lastStart < 0 ||
           SendMessageW(log, EM_LINELENGTH, static_cast<WPARAM>(lastStart), 0) == 0;
}

void FrmWindow::SetWaitCursor(bool busy) {
    if (busy) {
        ++waitCursors_;
    } else if (waitCursors_ > 0) {
        --waitCursors_;
    } else {
        return;
    }
    SetCursor(LoadCursorW(nullptr, waitCursors_ > 0 ? IDC_WAIT : IDC_ARROW));
}

void FrmWindow::Run(const PushButton& button) {
    try {
        button.Click();
    } catch (const std::exception& error) {
        // The box lets the window repaint: the log shows the run's lines behind it.
        FlushLog();
        ReportError(Handle(), error);
    }
    FlushLog();
}

LRESULT FrmWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == kControlIds[kBuildIndex])
                Run(frm_.btnBuild);
            else if (LOWORD(wParam) == kControlIds[kUsedIndex])
                Run(frm_.btnUsed);
            return 0;
        }
        break;
    case DM_GETDEFID:
        // Asked by IsDialogMessage when Enter reaches a control that does not take it.
        return MAKELRESULT(kControlIds[kBuildIndex], DC_HASDEFID);
    case WM_NEXTDLGCTL: {
        // Tab in the log: the control asks its parent, as it would a dialog
        // box, for the next (wParam 0) or previous control in tab order, or
        // names the control itself (lParam's low word set).
        HWND next = LOWORD(lParam) != 0
                        ? reinterpret_cast<HWND>(wParam)
                        : GetNextDlgTabItem(Handle(), GetFocus(), wParam != 0 ? TRUE : FALSE);
        if (next != nullptr)
            SetFocus(next);
        return 0;
    }
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            PlaceControls({LOWORD(lParam), HIWORD(lParam)});
        return 0;
    case kWmDpiChanged: {
        // Moved to a monitor of other dots per inch: a new font, the design
        // scaled for its text height, and the place the system suggests.
        ApplyDpi(HIWORD(wParam));
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(Handle(), nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client{};
        GetClientRect(Handle(), &client);
        PlaceControls({static_cast<int>(client.right), static_cast<int>(client.bottom)});
        return 0;
    }
    case WM_ERASEBKGND: {
        RECT client{};
        GetClientRect(Handle(), &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_SETCURSOR:
        if (waitCursors_ > 0) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        // The focus leaves with the window and comes back to the same control.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(Handle(), focus))
                focused_ = focus;
        }
        break;
    case WM_SETFOCUS:
        if (focused_ != nullptr && IsWindow(focused_))
            SetFocus(focused_);
        return 0;
    case WM_DESTROY:
        frm_.TntFormDestroy();
        // Only a shown window has an event loop to end; a hidden one goes
        // without leaving a quit message behind for a box that follows.
        if (shown_)
            PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        for (HWND& control : controls_)
            control = nullptr;
        focused_ = nullptr;
        break;
    default:
        break;
    }
    return DefaultProc(message, wParam, lParam);
}

} // namespace app::win32
