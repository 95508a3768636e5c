#pragma once

#include "log/OperationLog.h"
#include "platform/Drives.h"
#include "platform/ProcessExit.h"
#include "platform/RunError.h"
#include "platform/SettingsStore.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/FixedClock.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/RecordingWindow.h"
#include "tests/support/TempDir.h"
#include "window/ControlMirror.h"
#include "window/FileLists.h"
#include "window/ImageButton.h"
#include "window/frmVornal.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vornal::test {

// Settings held in memory.
class MemorySettings : public SettingsStore {
public:
    std::string read(const std::string& application, const std::string& section,
                     const std::string& key) override {
        const auto it = values.find(application + "/" + section + "/" + key);
        return it == values.end() ? std::string() : it->second;
    }
    void write(const std::string& application, const std::string& section, const std::string& key,
               const std::string& value) override {
        values[application + "/" + section + "/" + key] = value;
    }
    std::map<std::string, std::string> values;
};

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

// The real file system, with files that refuse to open for writing (as a read-only or
// locked file would, which root cannot make) and folders that cannot be made.
class WindowFiles : public FaultyFileSystem {
public:
    std::set<std::string> denied;
    std::set<std::string> failFolders;

    std::uint64_t sizeOpenForReadWrite(const std::string& path) override {
        if (denied.count(path) != 0) {
            throw RunError::fromErrno(EACCES);
        }
        return FaultyFileSystem::sizeOpenForReadWrite(path);
    }
    void createDirectory(const std::string& path) override {
        if (failFolders.count(path) != 0) {
            throw RunError::fromErrno(EACCES);
        }
        FaultyFileSystem::createDirectory(path);
    }
};

// Holds nothing; records what the window's widgets show at every pause, in the model's
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

// One main window over a temporary program folder and a temporary "drive" of files.
class FormFixture : public ::testing::Test {
protected:
    TempDir home;  // the program folder
    TempDir drive; // the files the user picks from
    WindowFiles files;
    MemorySettings settings;
    ListedDrives drives;
    RecordingMessages messages;
    LookPauser pauser;
    CountingExit processExit;
    FixedClock clock;
    HtmlLog log{files, clock, home.file("log.html")};
    EngineOptions engine;
    std::vector<std::string> firstRunSteps;
    SettingsStore* settingsStore = &settings;
    std::unique_ptr<frmVornal> form;

    FormFixture() { drives.list = {{"/", ""}, {drive.path(), "WORK"}}; }

    frmVornal& makeForm() {
        form = std::make_unique<frmVornal>(
            FormServices{files, *settingsStore, drives, messages, pauser, processExit, log,
                         FirstRunSteps{[this] { firstRunSteps.push_back("readme"); },
                                       [this] { firstRunSteps.push_back("about"); }},
                         home.path(), nullptr, engine});
        return *form;
    }
    // Starts the window with these arguments after the program name.
    frmVornal& loadWith(const std::vector<std::u16string>& arguments) {
        makeForm().Form_Load(arguments);
        return *form;
    }
    // Starts the window with the command line as one argument, or none.
    frmVornal& load(const std::u16string& commandLine = u"") {
        return loadWith(commandLine.empty() ? std::vector<std::u16string>{}
                                            : std::vector<std::u16string>{commandLine});
    }

    template <typename T = QWidget>
    T* get(const char* name) {
        T* w = form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString text(const char* name) {
        QObject* o = form->findChild<QObject*>(QLatin1String(name));
        if (auto* label = qobject_cast<QLabel*>(o)) {
            return label->text();
        }
        if (auto* edit = qobject_cast<QLineEdit*>(o)) {
            return edit->text();
        }
        if (auto* button = qobject_cast<QAbstractButton*>(o)) {
            return button->text();
        }
        ADD_FAILURE() << "no text control " << name;
        return {};
    }
    QColor base(const char* name) { return get(name)->palette().color(QPalette::Base); }
    static QColor face() { return ControlMirror::colour(Colour::ButtonFace); }
    static QColor white() { return ControlMirror::colour(Colour::Light); }
    DirListBox* dirList() { return get<DirListBox>("DirList"); }
    FileListBox* fileList() { return get<FileListBox>("FileList"); }
    DriveListBox* driveList() { return get<DriveListBox>("DriveList"); }

    // A click on the named file of the file list.
    void clickFile(const QString& name);
};

inline void FormFixture::clickFile(const QString& name) {
    FileListBox* list = fileList();
    const QList<QListWidgetItem*> items = list->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << name.toStdString();
    list->scrollToItem(items.front());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(items.front()).center());
}

} // namespace vornal::test
