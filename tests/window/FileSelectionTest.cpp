// The drive, folder and file lists: how they follow each other, the path a picked file
// gives, its size, a file dropped on the window, and the elapsed-time counter shown while an
// operation runs.
#include "operations/FileFormat.h"
#include "tests/window/FormFixture.h"
#include "window/FileDisplay.h"
#include "window/FileDrop.h"
#include "window/FilePaths.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <filesystem>

namespace vornal::test {
namespace {

class FileSelection : public FormFixture {
protected:
    FileSelection() {
        writeFile(drive.file("b.txt"), "hello world");
        writeFile(drive.file("A.txt"), "");
        writeFile(drive.file(".hidden"), "x");
        std::filesystem::create_directory(drive.file("sub"));
        writeFile(drive.file("sub/inner.txt"), "12345");
        load();
    }

    QStringList listed() {
        QStringList names;
        for (int i = 0; i < fileList()->count(); ++i) {
            names << fileList()->item(i)->text();
        }
        return names;
    }
    // The user picks the entry of the drive list with that root.
    void chooseDrive(const std::string& root) {
        for (std::size_t i = 0; i < drives.list.size(); ++i) {
            if (drives.list[i].root == root) {
                driveList()->setCurrentIndex(static_cast<int>(i));
                emit driveList()->activated(static_cast<int>(i));
                return;
            }
        }
        FAIL() << root;
    }
    void openFolder(const QString& name) {
        const auto items = dirList()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(items.size(), 1);
        emit dirList()->itemDoubleClicked(items.front(), 0);
    }
    QString drivePath() const { return QString::fromStdString(drive.path()); }
    QUrl url(const char* name) const {
        return QUrl::fromLocalFile(QString::fromStdString(drive.file(name)));
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
        QDropEvent drop(QPointF(2, 2), actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(on, &drop);
        QCoreApplication::processEvents(); // the window takes a drop once it is over
        return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
    }
};

// The file list follows the folder list: every name, hidden files left out, sorted
// without regard to case. A click on the folder reads it again; a drive keeps its folder.
TEST_F(FileSelection, TheListsFollowTheDriveAndTheFolderChosen) {
    chooseDrive(drive.path());
    EXPECT_EQ(driveList()->currentText().toStdString(), drive.path() + " [WORK]");
    EXPECT_EQ(dirList()->path(), drivePath());
    EXPECT_EQ(fileList()->path(), drivePath());
    EXPECT_EQ(listed(), (QStringList{"A.txt", "b.txt"}));

    openFolder(QStringLiteral("sub"));
    EXPECT_EQ(dirList()->path(), drivePath() + "/sub");
    EXPECT_EQ(listed(), QStringList{"inner.txt"});
    writeFile(drive.file("sub/new.txt"), "");
    EXPECT_EQ(listed(), QStringList{"inner.txt"});
    emit dirList()->itemClicked(dirList()->currentItem(), 0);
    EXPECT_EQ(dirList()->path(), drivePath() + "/sub");
    EXPECT_EQ(listed(), (QStringList{"inner.txt", "new.txt"}));

    chooseDrive("/"); // still on the folder the program started in
    EXPECT_EQ(dirList()->path(), QDir::currentPath());
    chooseDrive(drive.path());
    EXPECT_EQ(dirList()->path(), drivePath() + "/sub");
}

// By mouse and by keyboard, at a drive root and below; a root keeps its own slash. A file
// that cannot be opened for writing shows no size and flashes.
TEST_F(FileSelection, PickingAFileFillsThePathAndShowsItsSize) {
    EXPECT_EQ(composeFilePath(u"/", u"vmlinuz"), u"/vmlinuz");
    EXPECT_EQ(composeFilePath(u"/home/anna", u"notes.txt"), u"/home/anna/notes.txt");
    files.denied.insert(drive.file("A.txt"));
    chooseDrive(drive.path());
    clickFile(QStringLiteral("b.txt"));
    EXPECT_EQ(text("filepath").toStdString(), drive.path() + "/b.txt");
    EXPECT_EQ(form->window().text(Ctl::filepath), utf8ToUtf16(drive.path() + "/b.txt").value());
    EXPECT_EQ(text("labelFileSize"), "File size: 11 bytes");
    EXPECT_TRUE(pauser.looks.empty());

    fileList()->setFocus();
    QTest::keyClick(fileList(), Qt::Key_Up);
    EXPECT_EQ(text("filepath").toStdString(), drive.path() + "/A.txt");
    EXPECT_EQ(text("labelFileSize"), "File size: N/A");
    EXPECT_EQ(pauser.looks, flashLooks(u"Error: Access to file is denied."));
    EXPECT_EQ(text("Status"), "Ready.");

    openFolder(QStringLiteral("sub"));
    clickFile(QStringLiteral("inner.txt"));
    EXPECT_EQ(text("filepath").toStdString(), drive.path() + "/sub/inner.txt");
    EXPECT_EQ(text("labelFileSize"), "File size: 5 bytes");
}

// On the window or on the path box (where a file is not text), in the direction the file's
// content asks for. A folder, several files or another computer's file flash a refusal; in
// string mode no file is taken, not even as text.
TEST_F(FileSelection, AFileDroppedOnTheWindowLoadsAsAPickedOneDoes) {
    const std::string secret = drive.file("secret.txt");
    writeFile(secret, std::string(900, 'A') + ":\r" + std::string(kMarkerLine) + "\n");
    EXPECT_TRUE(drop(form.get(), {url("secret.txt")}));
    EXPECT_EQ(text("filepath").toStdString(), secret);
    EXPECT_EQ(text("labelFileSize").toStdU16String(), fileSizeText(readFile(secret).size()));
    EXPECT_TRUE(get<QRadioButton>("decryption")->isChecked());
    EXPECT_TRUE(drop(get("filepath"), {url("b.txt")}));
    EXPECT_EQ(text("filepath").toStdString(), drive.file("b.txt"));
    EXPECT_EQ(text("labelFileSize"), "File size: 11 bytes");
    EXPECT_TRUE(get<QRadioButton>("encryption")->isChecked());
    EXPECT_TRUE(pauser.looks.empty());

    const std::pair<QList<QUrl>, const char16_t*> refused[] = {
        {{url("sub")}, kDropFolderMessage},
        {{url("A.txt"), url("b.txt")}, kDropSeveralMessage},
        {{QUrl(QStringLiteral("https://example.org/b.txt"))}, kDropRemoteMessage},
    };
    for (const auto& [urls, message] : refused) {
        pauser.looks.clear();
        EXPECT_TRUE(drop(form.get(), urls));
        EXPECT_EQ(pauser.looks, flashLooks(message));
        EXPECT_EQ(text("filepath").toStdString(), drive.file("b.txt"));
    }

    get<QRadioButton>("optString")->click();
    pauser.looks.clear();
    auto* words = get<QPlainTextEdit>("stringpath");
    for (QWidget* on : {static_cast<QWidget*>(form.get()), words->viewport()}) {
        EXPECT_FALSE(drop(on, {url("b.txt")}));
    }
    EXPECT_EQ(text("filepath"), "");
    EXPECT_EQ(words->toPlainText(), "");
    EXPECT_TRUE(pauser.looks.empty());
}

TEST_F(FileSelection, AnUnavailableDriveFlashesAndTheListsStayOnThePreviousDrive) {
    drives.list.push_back({drive.path() + "/no-card", "CARD"});
    // The list reads the drives again when it opens.
    driveList()->setDrives(drives.list);
    chooseDrive(drive.path());
    const QStringList before = listed();
    chooseDrive(drive.path() + "/no-card");
    EXPECT_EQ(pauser.looks, flashLooks(utf8ToUtf16("Selected device/resource (" + drive.path() +
                                                   "/no-card [CARD]) is unavailable.")
                                           .value()));
    EXPECT_EQ(driveList()->currentDrive()->root, drive.path());
    EXPECT_EQ(dirList()->path(), drivePath());
    EXPECT_EQ(listed(), before);
}

// The counter's own steps are the model's; here the timer and the label follow it.
TEST_F(FileSelection, ElapsedTimeIsShownWhileTheCounterRuns) {
    auto* timer = form->findChild<QTimer*>(QStringLiteral("ElapsedTimer"));
    auto* elapsed = get<QLabel>("lblElapsed");
    EXPECT_FALSE(timer->isActive());
    EXPECT_FALSE(elapsed->isVisible());

    form->state().ElapsedSeconds = 0;
    form->state().ElapsedStopped = false;
    form->window().setInterval(Ctl::ElapsedTimer, 100);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 100);
    EXPECT_TRUE(elapsed->isVisible());
    form->state().ElapsedSeconds = 124;
    form->ElapsedTimer_Timer();
    EXPECT_EQ(timer->interval(), 1000); // after the first minute, once a second
    EXPECT_EQ(elapsed->text(), "Elapsed time: 2min 5s");

    form->window().ResetStatus();
    EXPECT_FALSE(timer->isActive());
    EXPECT_FALSE(elapsed->isVisible());
}

} // namespace
} // namespace vornal::test
