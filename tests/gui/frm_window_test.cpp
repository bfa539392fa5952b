// The Linux main window on the offscreen platform: the window table (places,
// sizes, captions, fonts), anchors on resize, the hidden and the default
// button, the tab order, and what clicks do to the log.
#include "app/qt/frm_window.h"
#include "app/qt/qt_text.h"
#include "app/u_frm.h"

#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <iterator>
#include <memory>

namespace {

// A build that writes two lines per run and can fail after the first.
struct FakeBuild {
    int runs = 0;
    bool fail = false;
    bool lastDiscard = false;
    bool hourglassSeen = false;

    app::BuildSkinsFunction Function() {
        return [this](bool discard, const std::u16string&, skin::BuildLog& log,
                      std::vector<std::u16string>& UsedFiles) {
            ++runs;
            lastDiscard = discard;
            const QCursor* cursor = QGuiApplication::overrideCursor();
            hourglassSeen = cursor != nullptr && cursor->shape() == Qt::WaitCursor;
            UsedFiles.clear();
            log.AppendLine(u"run " + app::FromQString(QString::number(runs)));
            if (fail)
                throw skin::GeneralError(u"Cannot create file \"_skin/vistel.dll\". Denied");
            log.AppendLine(u"done!");
        };
    }
};

QRect Rect(int left, int top, int width, int height) {
    return {left, top, width, height};
}

} // namespace

class FrmWindowTest : public QObject {
    Q_OBJECT

private:
    FakeBuild build;
    std::unique_ptr<app::Tfrm> frm;
    std::unique_ptr<app::FrmWindow> window;

    // A window scaled for the design text height, so that it has the design sizes.
    void Open(int textHeight = 13) {
        build = FakeBuild();
        frm = std::make_unique<app::Tfrm>(
            build.Function(), [] { return std::u16string(u"/opt/ksb/KestoSkinBuilder"); });
        window = std::make_unique<app::FrmWindow>(*frm, textHeight);
    }
    // The next of the window's three controls in the focus chain (the log's
    // viewport and scroll bars are in the chain too, but take no tab stop).
    QWidget* NextControl(QWidget* from) const {
        const QWidget* controls[] = {window->BuildButton(), window->Log(), window->UsedButton()};
        for (QWidget* w = from->nextInFocusChain(); w != from; w = w->nextInFocusChain())
            if (std::find(std::begin(controls), std::end(controls), w) != std::end(controls))
                return w;
        return nullptr;
    }
    void ShowIt() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

private slots:
    void cleanup() {
        window.reset();
        frm.reset();
    }

    void geometryAtDesignSize() {
        Open();
        QCOMPARE(window->size(), QSize(552, 398));
        QCOMPARE(window->BuildButton()->geometry(), Rect(465, 365, 75, 25));
        QCOMPARE(window->Log()->geometry(), Rect(12, 12, 529, 343));
        QCOMPARE(window->UsedButton()->geometry(), Rect(381, 365, 75, 25));
        ShowIt();
        QCOMPARE(window->size(), QSize(552, 398));
        QCOMPARE(window->BuildButton()->geometry(), Rect(465, 365, 75, 25));
        QCOMPARE(window->Log()->geometry(), Rect(12, 12, 529, 343));
    }

    void anchorsAfterResize() {
        Open();
        ShowIt();
        window->resize(800, 600);
        QTRY_COMPARE(window->size(), QSize(800, 600));
        // The log keeps 12 left and top, 11 right, 43 bottom; the buttons keep
        // 8 to the bottom, Build 12 to the right, Used files 9 left of Build.
        QCOMPARE(window->Log()->geometry(), Rect(12, 12, 800 - 12 - 11, 600 - 12 - 43));
        QCOMPARE(window->BuildButton()->geometry(), Rect(800 - 12 - 75, 600 - 8 - 25, 75, 25));
        QCOMPARE(window->UsedButton()->geometry(),
                 Rect(800 - 12 - 75 - 9 - 75, 600 - 8 - 25, 75, 25));
        window->resize(400, 300);
        QTRY_COMPARE(window->size(), QSize(400, 300));
        QCOMPARE(window->Log()->geometry(), Rect(12, 12, 400 - 23, 300 - 55));
        QCOMPARE(window->BuildButton()->geometry(), Rect(400 - 87, 300 - 33, 75, 25));
    }

    void scaledByTheTextHeight() {
        Open(26);
        QCOMPARE(window->size(), QSize(1104, 796));
        QCOMPARE(window->Log()->geometry(), Rect(24, 24, 1058, 686));
        QCOMPARE(window->BuildButton()->geometry(), Rect(930, 730, 150, 50));
    }

    void measuredFontScalesTheWindow() {
        Open(0);
        QVERIFY(window->TextHeight() > 0);
        const int h = window->TextHeight();
        // Whatever the height, the margins scale with it.
        const int right = app::ScaleToTextHeight(11, h), bottom = app::ScaleToTextHeight(43, h);
        const QRect log = window->Log()->geometry();
        QCOMPARE(window->width() - log.right() - 1, right);
        QCOMPARE(window->height() - log.bottom() - 1, bottom);
        qInfo("font %s %dpt, text height %d, client %dx%d",
              qPrintable(QFontInfo(window->font()).family()), window->font().pointSize(), h,
              window->width(), window->height());
    }

    void captionsAndFont() {
        Open();
        QCOMPARE(window->windowTitle(), QStringLiteral("Kesto Skin Builder"));
        QCOMPARE(window->BuildButton()->text(), QStringLiteral("Build"));
        QCOMPARE(window->UsedButton()->text(), QStringLiteral("Used files"));
        QCOMPARE(window->BuildButton()->objectName(), QStringLiteral("btnBuild"));
        QCOMPARE(window->Log()->objectName(), QStringLiteral("log"));
        QCOMPARE(window->UsedButton()->objectName(), QStringLiteral("btnUsed"));
        QCOMPARE(window->font().pointSize(), 8);
        QCOMPARE(window->font().families().value(0), QStringLiteral("Tahoma"));
        const QString family = QFontInfo(window->font()).family();
        for (QWidget* control :
             {static_cast<QWidget*>(window->BuildButton()), static_cast<QWidget*>(window->Log()),
              static_cast<QWidget*>(window->UsedButton())}) {
            QCOMPARE(QFontInfo(control->font()).family(), family);
            QCOMPARE(control->font().pointSize(), 8);
        }
        QCOMPARE(window->backgroundRole(), QPalette::Button);
    }

    void logControlAsDesigned() {
        Open();
        QPlainTextEdit* log = window->Log();
        QVERIFY(log->toPlainText().isEmpty());
        QVERIFY(!log->isReadOnly());
        QCOMPARE(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(log->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(log->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(log->maximumBlockCount(), 0);
    }

    void usedFilesButtonStaysHidden() {
        Open();
        ShowIt();
        QVERIFY(window->BuildButton()->isVisible());
        QVERIFY(!window->UsedButton()->isVisible());
        QVERIFY(window->UsedButton()->isHidden());
        window->resize(700, 500);
        QVERIFY(!window->UsedButton()->isVisible());
        // Clicked from the program it still runs Used files.
        window->UsedButton()->click();
        QCOMPARE(build.runs, 1);
        QVERIFY(build.lastDiscard);
        QVERIFY(build.hourglassSeen);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void buildIsTheDefaultButton() {
        Open();
        ShowIt();
        QVERIFY(window->BuildButton()->isDefault());
        QVERIFY(!window->UsedButton()->isDefault());
        // Enter on the button builds; Enter in the log is a line break.
        window->BuildButton()->setFocus();
        QTest::keyClick(window->BuildButton(), Qt::Key_Return);
        QCOMPARE(build.runs, 1);
        QVERIFY(!build.lastDiscard);
        QVERIFY(!build.hourglassSeen);
        window->Log()->setFocus();
        QTest::keyClick(window->Log(), Qt::Key_Return);
        QCOMPARE(build.runs, 1);
        // Enter that reaches the window itself clicks the default button.
        QTest::keyClick(window.get(), Qt::Key_Enter);
        QCOMPARE(build.runs, 2);
    }

    void tabOrder() {
        Open();
        ShowIt();
        QCOMPARE(NextControl(window->BuildButton()), window->Log());
        QCOMPARE(NextControl(window->Log()), window->UsedButton());
        QCOMPARE(NextControl(window->UsedButton()), window->BuildButton());
        QTRY_COMPARE(QApplication::focusWidget(), window->BuildButton());
        QTest::keyClick(window->BuildButton(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window->Log());
        // Tab leaves the log (no tab character), and skips the hidden button.
        QTest::keyClick(window->Log(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window->BuildButton());
        QVERIFY(window->Log()->toPlainText().isEmpty());
        QTest::keyClick(window->BuildButton(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), window->Log());
    }

    void clickOnBuildAppendsBelowTheLog() {
        Open();
        ShowIt();
        window->Log()->setPlainText(QStringLiteral("typed by the user"));
        QTest::mouseClick(window->BuildButton(), Qt::LeftButton);
        QCOMPARE(window->Log()->toPlainText(), QStringLiteral("typed by the user\nrun 1\ndone!\n"));
        QTest::mouseClick(window->BuildButton(), Qt::LeftButton);
        QCOMPARE(window->Log()->toPlainText(),
                 QStringLiteral("typed by the user\nrun 1\ndone!\nrun 2\ndone!\n"));
        // Text typed after a line break: the next line goes right below it.
        window->Log()->moveCursor(QTextCursor::End);
        QTest::keyClicks(window->Log(), QStringLiteral("note"));
        QTest::keyClick(window->Log(), Qt::Key_Return);
        QTest::mouseClick(window->BuildButton(), Qt::LeftButton);
        QCOMPARE(
            window->Log()->toPlainText(),
            QStringLiteral("typed by the user\nrun 1\ndone!\nrun 2\ndone!\nnote\nrun 3\ndone!\n"));
        QCOMPARE(window->Log()->textCursor().position(),
                 window->Log()->document()->characterCount() - 1);
    }

    void errorOfAClickShowsTheBoxAndKeepsTheWindow() {
        Open();
        ShowIt();
        build.fail = true;
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            box->accept();
        });
        QTest::mouseClick(window->BuildButton(), Qt::LeftButton);
        // The program running these tests is test_gui; its first letter stays.
        QCOMPARE(title, QStringLiteral("test_gui"));
        QCOMPARE(text, QStringLiteral("Cannot create file \"_skin/vistel.dll\". Denied."));
        QCOMPARE(icon, QMessageBox::Critical);
        QVERIFY(window->isVisible());
        QCOMPARE(window->Log()->toPlainText(), QStringLiteral("run 1\n"));
        // The hourglass of a failed Used files run goes away too.
        QTimer::singleShot(0, [] {
            if (QWidget* box = QApplication::activeModalWidget())
                box->close();
        });
        window->UsedButton()->click();
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void centredOnFirstShow() {
        Open();
        ShowIt();
        const QRect area = window->screen()->availableGeometry();
        const QPoint offset = window->frameGeometry().center() - area.center();
        QVERIFY2(qAbs(offset.x()) <= 20 && qAbs(offset.y()) <= 40,
                 qPrintable(QStringLiteral("off centre by %1,%2").arg(offset.x()).arg(offset.y())));
    }

    void windowGoingAwayFreesUsedFiles() {
        Open();
        window->UsedButton()->click();
        window.reset();
        QVERIFY(frm->usedFiles().empty());
        frm->btnBuildClick(); // the view is gone: nothing may reach it
        QCOMPARE(build.runs, 2);
    }
};

QTEST_MAIN(FrmWindowTest)
#include "frm_window_test.moc"
