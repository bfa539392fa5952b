// Loaded into the real Linux program (LD_PRELOAD) by window_exit_status.sh, it
// does what a user does at the window of a run: presses OK on the error box
// and closes the main window once it is shown. What it saw goes, one line
// each, to the file $KSB_CLOSER_LOG: "box: TITLE: TEXT" and "window: LOG",
// the log's lines joined by "|".
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace {

void Record(const QString& line) {
    QFile file(qEnvironmentVariable("KSB_CLOSER_LOG"));
    if (file.open(QIODevice::Append | QIODevice::Text))
        file.write((line + u'\n').toUtf8());
}

void Act() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* widget : windows) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box != nullptr && box->isVisible()) {
            Record("box: " + box->windowTitle() + ": " + box->text());
            box->button(QMessageBox::Ok)->click();
            return;
        }
    }
    for (QWidget* widget : windows) {
        if (!widget->isVisible() || widget->windowTitle() != "Kesto Skin Builder")
            continue;
        const auto* log = widget->findChild<QPlainTextEdit*>();
        QString lines = log != nullptr ? log->toPlainText() : QString("(no log)");
        Record("window: " + lines.replace(u'\n', u'|'));
        widget->close();
        return;
    }
}

// Runs when the program's window module makes its QApplication.
void Start() {
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, Act);
    timer->start(50);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(Start)
