#include "app/qt/frm_window.h"

#include "app/qt/error_box.h"
#include "app/qt/qt_text.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>

namespace app {

namespace {

// The design font, or the closest font the system has when Tahoma is missing.
QFont DesignFont() {
    QFont font;
    font.setFamilies({ToQString(kFrmDesign.FontName), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Verdana")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(kFrmDesign.FontPointSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

QRect ToQRect(const Rect& r) {
    return {r.Left, r.Top, r.Width, r.Height};
}

} // namespace

FrmWindow::FrmWindow(Tfrm& frm, int textHeight)
    : frm_(frm), btnBuild_(new QPushButton(this)), log_(new QPlainTextEdit(this)),
      btnUsed_(new QPushButton(this)) {
    setWindowTitle(ToQString(kFrmDesign.Caption));
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    const QFont font = DesignFont();
    setFont(font);
    textHeight_ = textHeight > 0 ? textHeight : QFontMetrics(font).height();

    btnBuild_->setObjectName(ToQString(kBtnBuildDesign.Name));
    btnBuild_->setText(ToQString(kBtnBuildDesign.Caption));
    btnBuild_->setDefault(kBtnBuildDesign.IsDefault);

    log_->setObjectName(ToQString(kLogDesign.Name));
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    log_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    log_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    log_->setReadOnly(false);
    log_->setTabChangesFocus(true); // Tab moves on; Enter is a line break

    btnUsed_->setObjectName(ToQString(kBtnUsedDesign.Name));
    btnUsed_->setText(ToQString(kBtnUsedDesign.Caption));
    btnUsed_->setDefault(kBtnUsedDesign.IsDefault);
    btnUsed_->setVisible(kBtnUsedDesign.Visible);

    // All controls use the window's font, whatever the style would give them.
    for (QWidget* control : {static_cast<QWidget*>(btnBuild_), static_cast<QWidget*>(log_),
                             static_cast<QWidget*>(btnUsed_)})
        control->setFont(font);

    // Tab order 0, 1, 2.
    setTabOrder(btnBuild_, log_);
    setTabOrder(log_, btnUsed_);
    btnBuild_->setFocus();

    QObject::connect(btnBuild_, &QPushButton::clicked, this, [this] { Run(frm_.btnBuild); });
    QObject::connect(btnUsed_, &QPushButton::clicked, this, [this] { Run(frm_.btnUsed); });

    scaledClient_ = ScaleToTextHeight(kFrmDesign.ClientSize, textHeight_);
    scaledBounds_[0] = ScaleToTextHeight(kBtnBuildDesign.Bounds, textHeight_);
    scaledBounds_[1] = ScaleToTextHeight(kLogDesign.Bounds, textHeight_);
    scaledBounds_[2] = ScaleToTextHeight(kBtnUsedDesign.Bounds, textHeight_);
    resize(scaledClient_.Width, scaledClient_.Height);
    PlaceControls(scaledClient_);

    frm_.BindView(*this);
}

FrmWindow::~FrmWindow() {
    frm_.TntFormDestroy();
    frm_.UnbindView(*this);
    while (waitCursors_ > 0)
        SetWaitCursor(false);
}

void FrmWindow::AppendLogLine(std::u16string_view line) {
    // Every line ends with a line break, so the next one starts below it.
    // Text the user typed without a final break gets one first.
    QTextCursor cursor(log_->document());
    cursor.movePosition(QTextCursor::End);
    if (!cursor.block().text().isEmpty())
        cursor.insertBlock();
    cursor.insertText(ToQString(line));
    cursor.insertBlock();
    log_->setTextCursor(cursor);
    log_->ensureCursorVisible();
}

void FrmWindow::SetWaitCursor(bool busy) {
    if (busy) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        ++waitCursors_;
    } else if (waitCursors_ > 0) {
        QGuiApplication::restoreOverrideCursor();
        --waitCursors_;
    }
}

void FrmWindow::Run(const PushButton& button) {
    try {
        button.Click();
    } catch (const std::exception& error) {
        ReportError(this, error);
    }
}

void FrmWindow::PlaceControls(Size client) {
    const ControlDesign* designs[3] = {&kBtnBuildDesign, &kLogDesign, &kBtnUsedDesign};
    QWidget* controls[3] = {btnBuild_, log_, btnUsed_};
    for (int i = 0; i < 3; ++i)
        controls[i]->setGeometry(
            ToQRect(AnchoredBounds(scaledBounds_[i], designs[i]->Anchors, scaledClient_, client)));
}

void FrmWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceControls({width(), height()});
}

void FrmWindow::showEvent(QShowEvent* event) {
    if (!centred_ && !event->spontaneous()) {
        centred_ = true;
        CentreOnScreen();
    }
    QWidget::showEvent(event);
}

void FrmWindow::CentreOnScreen() {
    const QScreen* where = screen();
    if (where == nullptr)
        return;
    const QRect area = where->availableGeometry();
    const QSize outer = frameGeometry().size();
    move(area.left() + (area.width() - outer.width()) / 2,
         area.top() + (area.height() - outer.height()) / 2);
}

void FrmWindow::keyPressEvent(QKeyEvent* event) {
    // Enter that no focused control took clicks the default button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        btnBuild_->isDefault() && btnBuild_->isVisible() && btnBuild_->isEnabled()) {
        btnBuild_->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace app
