// The main window on Linux: a thin Qt view over Tfrm. It builds the controls
// of the window table, keeps their anchored edges on resize, forwards clicks
// to Tfrm's handlers and shows the error box for an error that escapes one.
#pragma once

#include "app/frm_view.h"
#include "app/u_frm.h"
#include "app/window_layout.h"

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace app {

class FrmWindow final : public QWidget, public FrmView {
public:
    // Binds itself to `frm` as its view. `textHeight` is the text height the
    // window is scaled for; zero measures the window's font, as a start does.
    explicit FrmWindow(Tfrm& frm, int textHeight = 0);
    ~FrmWindow() override;
    FrmWindow(const FrmWindow&) = delete;
    FrmWindow& operator=(const FrmWindow&) = delete;

    void AppendLogLine(std::u16string_view line) override;
    void SetWaitCursor(bool busy) override;

    QPushButton* BuildButton() const { return btnBuild_; }
    QPlainTextEdit* Log() const { return log_; }
    QPushButton* UsedButton() const { return btnUsed_; }
    int TextHeight() const { return textHeight_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // A click, with the error box for an error that escapes the handler.
    void Run(const PushButton& button);
    void PlaceControls(Size client);
    void CentreOnScreen();

    Tfrm& frm_;
    QPushButton* btnBuild_;
    QPlainTextEdit* log_;
    QPushButton* btnUsed_;
    int textHeight_;
    Size scaledClient_; // the client size the scaled design was made for
    Rect scaledBounds_[3];
    bool centred_ = false;
    int waitCursors_ = 0;
};

} // namespace app
