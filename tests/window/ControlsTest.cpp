// The window's controls as the user meets them: what assistive technology is told, the
// options and the boxes they show, the status panel and its hold, and the tool buttons.
#include "log/OperationLog.h"
#include "platform/Environment.h"
#include "platform/Launcher.h"
#include "tests/support/RecordingShell.h"
#include "tests/window/FormFixture.h"
#include "tools/DesktopHandlers.h"
#include "tools/modSysInfo.h"
#include "window/Pauser.h"

#include <QKeyEvent>

namespace vornal::test {
namespace {

class Controls : public FormFixture {
protected:
    Controls() { load(); }
    bool shown(const char* name) { return get(name)->isVisibleTo(form.get()); }
};

// Every control on the screen has a spoken name; the home-made ones their roles too.
TEST_F(Controls, AssistiveTechnologyIsToldTheRoleAndNameOfEachControl) {
    const auto spoken = [](QObject* o) {
        return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name).toStdString();
    };
    for (QWidget* w : form->findChildren<QWidget*>()) {
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QStringLiteral("qt_")) &&
            w->isVisibleTo(form.get())) {
            EXPECT_NE(spoken(w), "") << w->objectName().toStdString();
        }
    }
    const struct {
        const char* name;
        QAccessible::Role role;
        const char* spoken;
    } cases[] = {
        {"txtPass2", QAccessible::EditableText, "Re-enter encryption key:"},
        {"Image2", QAccessible::Button, "Close"},
        {"TitlebarIco", QAccessible::Graphic, "Vornal Encryption icon"},
        {"StatusBox", QAccessible::Client, "Status panel"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QAccessible::queryAccessibleInterface(get(c.name))->role(), c.role) << c.name;
        EXPECT_EQ(spoken(get(c.name)), c.spoken) << c.name;
    }
    EXPECT_EQ(spoken(form.get()), "Vornal Encryption (v2.5a)");
    choose("optString");
    EXPECT_EQ(spoken(get("stringpath")), "Enter string to encrypt");
}

// The key boxes hide the key and take 100 characters; typing in the string box stops at
// 10,000.
TEST_F(Controls, TheBoxesKeepTheirLimits) {
    for (const char* box : {"txtPass1", "txtPass2"}) {
        EXPECT_EQ(get<QLineEdit>(box)->echoMode(), QLineEdit::Password) << box;
        EXPECT_EQ(get<QLineEdit>(box)->maxLength(), 100) << box;
    }
    choose("optString");
    auto* box = get<QPlainTextEdit>("stringpath");
    box->insertPlainText(QString(9998, QLatin1Char('x')));
    QTest::keyClicks(box, QStringLiteral("abcd"));
    EXPECT_TRUE(box->toPlainText().endsWith(QStringLiteral("xab")));
    EXPECT_EQ(form->window().text(Ctl::stringpath).size(), 10000u);
}

// Label3, the caption and the boxes follow every combination of the options. String mode
// empties the path, hides it and greys the lists; the string box keeps its text.
TEST_F(Controls, TheOptionsChooseTheTextsAndTheBoxesShown) {
    QTest::keyClicks(get<QLineEdit>("filepath"), QStringLiteral("/tmp/a.txt"));
    const struct {
        const char *source, *direction, *label, *path;
    } cases[] = {
        {"optFile", "decryption", "Enter path of file to decrypt:", "/tmp/a.txt"},
        {"optString", "decryption", "Enter string to decrypt:", ""},
        {"optString", "encryption", "Enter string to encrypt:", ""},
        {"optFile", "encryption", "Enter path of file to encrypt:", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        choose(c.source);
        choose(c.direction);
        const bool file = std::string(c.source) == "optFile";
        EXPECT_EQ(text("Label3"), c.label);
        EXPECT_EQ(text("btnSTART"),
                  std::string(c.direction) == "encryption" ? "Encrypt!" : "Decrypt!");
        EXPECT_EQ(text("filepath"), c.path);
        EXPECT_EQ(form->window().text(Ctl::filepath), QString(c.path).toStdU16String());
        EXPECT_EQ(form->state().FileMode, file);
        for (const char* name :
             {"filepath", "view_file", "labelFileSize", "DriveList", "DirList", "FileList"}) {
            EXPECT_EQ(shown(name) && get(name)->isEnabled(), file) << name;
        }
        EXPECT_EQ(shown("stringpath"), !file);
        EXPECT_EQ(get("FileList")->palette().color(QPalette::Base),
                  ControlMirror::colour(file ? Colour::Light : Colour::ButtonFace));
        if (!file) {
            QTest::keyClicks(get<QPlainTextEdit>("stringpath"), QStringLiteral("ab"));
        }
    }
    choose("optString");
    EXPECT_EQ(get<QPlainTextEdit>("stringpath")->toPlainText(), "abab");
    EXPECT_EQ(form->window().text(Ctl::stringpath), u"abab");
}

// The progress bar scaled to the model's maximum, the busy pointer, a status text not cut
// short, and a disabled image button that ignores clicks.
TEST_F(Controls, TheModelReachesTheWidgets) {
    form->window().SetStatus(u"A much longer status text than the panel started with");
    auto* status = get<QLabel>("Status");
    EXPECT_GE(status->width(), status->fontMetrics().horizontalAdvance(status->text()));

    auto* bar = get<QProgressBar>("ProgressBar2");
    form->window().setMax(Ctl::ProgressBar2, 210);
    form->window().setValue(Ctl::ProgressBar2, 105);
    EXPECT_EQ(bar->value(), bar->maximum() / 2);
    form->window().setValue(Ctl::ProgressBar2, 400);
    EXPECT_EQ(bar->value(), bar->maximum());

    form->window().setPointer(Pointer::Busy);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    form->window().setPointer(Pointer::Default);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    int clicks = 0;
    QObject::connect(get<ImageButton>("btnClearHis"), &QAbstractButton::clicked, [&] { ++clicks; });
    form->window().setEnabled(Ctl::btnClearHis, false);
    click("btnClearHis");
    form->window().setEnabled(Ctl::btnClearHis, true);
    click("btnClearHis");
    EXPECT_EQ(clicks, 1);
}

// The real hold runs the event loop, so pass 0 ms and let the events posted beforehand
// arrive during it: keys and clicks meant for the window are dropped, the pointer still
// reaches the drag handles, and a close request is carried out afterwards.
TEST_F(Controls, TheRealHoldActsOnNoInputButDragAndCloseAfterwards) {
    auto* box = get<QLineEdit>("filepath");
    box->setFocus();
    QApplication::postEvent(
        box, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a")));
    const auto post = [](QWidget* w, QEvent::Type type, QPointF at) {
        QApplication::postEvent(w, new QMouseEvent(type, at, w->mapToGlobal(at), Qt::LeftButton,
                                                   Qt::LeftButton, Qt::NoModifier));
    };
    auto* option = get<QRadioButton>("optString");
    post(option, QEvent::MouseButtonPress, QPointF(6, option->height() / 2.0));
    post(option, QEvent::MouseButtonRelease, QPointF(6, option->height() / 2.0));
    int presses = 0;
    QObject::connect(get<ImageElement>("Image1"), &ImageElement::pressed, [&] { ++presses; });
    post(get("Image1"), QEvent::MouseButtonPress, QPointF(40, 10));
    QApplication::postEvent(form.get(), new QCloseEvent);

    EventLoopPauser().pause(*form, 0);
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(processExit.calls, 0);
    QApplication::processEvents();
    EXPECT_EQ(processExit.calls, 1);
    EXPECT_EQ(box->text(), "");
    EXPECT_FALSE(option->isChecked());
    QTest::keyClick(box, Qt::Key_B); // afterwards input works again
    EXPECT_EQ(box->text(), "b");
}

// What each command does is its own suite's; here, that each button reaches it.
TEST_F(Controls, EachToolButtonReachesItsCommand) {
    SystemEnvironment environment;
    PosixLauncher launcher{environment};
    Desktop desktop{launcher, files, environment, "/nonexistent/vornal"};
    const auto registry = modSysInfo::systemRegistry(files, environment, launcher);
    RecordingShell shell;
    ToolServices tools{desktop, *registry, launcher, log, shell};
    loadWith({}, &tools);
    pauser.looks.clear();
    click("view_file");
    click("btnViewHistory");
    ASSERT_FALSE(log.AppendLogRow(u"Encrypting \"x\"", u"Success"));
    click("btnViewHistory");
    EXPECT_EQ(shell.opened, std::vector<std::string>{log.path()});
    click("btnClearHis");
    EXPECT_EQ(readFile(log.path()), HtmlLog::headerBlock());
    std::vector<RecordingWindow::Look> looks = flashLooks(u"No file to view.");
    for (const auto& look : flashLooks(u"Log file not found!")) {
        looks.push_back(look);
    }
    looks.push_back(successLook(u"History cleared."));
    EXPECT_EQ(pauser.looks, looks);
}

} // namespace
} // namespace vornal::test
