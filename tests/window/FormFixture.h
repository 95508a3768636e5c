#pragma once

#include "log/OperationLog.h"
#include "platform/Drives.h"
#include "platform/ProcessExit.h"
#include "platform/RunError.h"
#include "platform/qt/QtSettingsStore.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/FixedClock.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/TempDir.h"
#include "window/ControlMirror.h"
#include "window/FileLists.h"
#include "window/ImageButton.h"
#include "window/frmVornal.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vornal::test {

class ListedDrives : public DriveSource {
public:
    std::vector<Drive> drives() override { return list; }
    std::vector<Drive> list;
};

class CountingExit : public ProcessExit {
public:
    void exitNow() override { ++calls; }
    int calls = 0;
};

// The real file system, with files that refuse to open for writing, as a locked file
// would, which root cannot make.
class WindowFiles : public FaultyFileSystem {
public:
    std::set<std::string> denied;

    std::uint64_t sizeOpenForReadWrite(const std::string& path) override {
        if (denied.count(path) != 0) {
            throw RunError::fromErrno(EACCES);
        }
        return FaultyFileSystem::sizeOpenForReadWrite(path);
    }
};

// Holds nothing; records what the status panel shows at every pause, in the model's
// colours, and whether the window was on the screen.
class LookPauser : public Pauser {
public:
    void pause(QWidget& window, int ms) override {
        auto* box = window.findChild<QWidget*>(QStringLiteral("StatusBox"));
        auto* status = window.findChild<QLabel*>(QStringLiteral("Status"));
        looks.push_back({colourOf(box->palette().color(QPalette::Window)),
                         colourOf(status->palette().color(QPalette::WindowText)),
                         status->text().toStdU16String(), ms});
        shown.push_back(window.isVisible());
    }
    static Colour colourOf(const QColor& c) {
        for (Colour k : {Colour::Neutral, Colour::Failure, Colour::Success, Colour::Light,
                         Colour::Dark, Colour::ButtonFace}) {
            if (ControlMirror::colour(k) == c) {
                return k;
            }
        }
        ADD_FAILURE() << "a colour the window does not use: " << c.name().toStdString();
        return Colour::Neutral;
    }
    std::vector<RecordingWindow::Look> looks;
    std::vector<bool> shown;
};

// One main window over a temporary program folder and a temporary "drive" of files, and
// what a user does to it.
class FormFixture : public ::testing::Test {
protected:
    TempDir home;  // the program folder
    TempDir drive; // the files the user picks from
    WindowFiles files;
    TempDir config; // the settings, in a folder of the test's own
    QtSettingsStore settings;
    ListedDrives drives;
    RecordingMessages messages;
    LookPauser pauser;
    CountingExit processExit;
    FixedClock clock;
    HtmlLog log{files, clock, home.file("log.html")};
    EngineOptions engine;
    std::vector<std::string> firstRunSteps;
    std::unique_ptr<frmVornal> form;

    FormFixture() {
        drives.list = {{"/", ""}, {drive.path(), "WORK"}};
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(config.path()));
    }

    // Starts the window with these arguments after the program name.
    frmVornal& loadWith(const std::vector<std::u16string>& arguments,
                        ToolServices* tools = nullptr) {
        form.reset();
        form = std::make_unique<frmVornal>(
            FormServices{files, settings, drives, messages, pauser, processExit, log,
                         FirstRunSteps{[this] { firstRunSteps.push_back("readme"); },
                                       [this] { firstRunSteps.push_back("about"); }},
                         home.path(), tools, engine});
        form->Form_Load(arguments);
        return *form;
    }
    frmVornal& load() { return loadWith({}); }

    template <typename T = QWidget>
    T* get(const char* name) {
        T* w = form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // What a label, a box or a button shows.
    QString text(const char* name) { return get<QObject>(name)->property("text").toString(); }
    bool checked(const char* option) { return get<QRadioButton>(option)->isChecked(); }
    DirListBox* dirList() { return get<DirListBox>("DirList"); }
    FileListBox* fileList() { return get<FileListBox>("FileList"); }
    DriveListBox* driveList() { return get<DriveListBox>("DriveList"); }
    std::string logText() { return readFile(home.file("log.html")); }

    void click(const char* name) { QTest::mouseClick(get(name), Qt::LeftButton); }
    // A click on the option's circle.
    void choose(const char* option) {
        auto* button = get<QRadioButton>(option);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    void typeKeys(const QString& key) {
        for (const char* box : {"txtPass1", "txtPass2"}) {
            get<QLineEdit>(box)->clear();
            QTest::keyClicks(get<QLineEdit>(box), key);
        }
    }
    void enter(const char* box = "txtPass2") {
        QTest::keyClick(get<QLineEdit>(box), Qt::Key_Return);
    }
    // A mouse event on the named widget, at a point of its own.
    void mouse(const char* name, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons held) {
        QWidget* w = get(name);
        QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    // What a screen reader does: the option's toggle action, a box's editable text.
    void toggle(const char* option) {
        QAccessibleActionInterface* actions =
            QAccessible::queryAccessibleInterface(get(option))->actionInterface();
        ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        actions->doAction(QAccessibleActionInterface::toggleAction());
    }
    QAccessibleEditableTextInterface& editable(const char* box) {
        return *QAccessible::queryAccessibleInterface(get(box))->editableTextInterface();
    }
    // The user picks the entry of the drive list with that root.
    void chooseDrive(const std::string& root) {
        for (std::size_t i = 0; i < drives.list.size(); ++i) {
            if (drives.list[i].root == root) {
                driveList()->setCurrentIndex(static_cast<int>(i));
                emit driveList()->activated(static_cast<int>(i));
            }
        }
    }
    void clickFile(const QString& name) {
        const QList<QListWidgetItem*> items = fileList()->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        fileList()->scrollToItem(items.front());
        QTest::mouseClick(fileList()->viewport(), Qt::LeftButton, {},
                          fileList()->visualItemRect(items.front()).center());
    }
    // Drags these onto a widget and drops them there, as a file manager does; answers
    // whether the window took the drop.
    static bool drop(QWidget* on, const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        data.setText(QUrl::toStringList(urls).join('\n'));
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(QPoint(2, 2), actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(on, &enter);
        QDropEvent dropped(QPointF(2, 2), actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(on, &dropped);
        QCoreApplication::processEvents(); // the window takes a drop once it is over
        return dropped.isAccepted() && dropped.dropAction() == Qt::CopyAction;
    }
};

} // namespace vornal::test
