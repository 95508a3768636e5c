// The drive, folder and file lists: how they follow each other, the path a picked file
// gives, its size, a file dropped on the window, and the elapsed time shown during a run.
#include "operations/FileFormat.h"
#include "tests/window/FormFixture.h"
#include "window/FileDisplay.h"
#include "window/FileDrop.h"
#include "window/FilePaths.h"

#include <QDir>
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
    void openFolder(const QString& name) {
        const auto items = dirList()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(items.size(), 1);
        emit dirList()->itemDoubleClicked(items.front(), 0);
    }
    QString drivePath() const { return QString::fromStdString(drive.path()); }
    QUrl url(const char* name) const {
        return QUrl::fromLocalFile(QString::fromStdString(drive.file(name)));
    }
};

// The file list follows the folder list: every name, hidden files left out, sorted
// without regard to case. A click on the folder reads it again; a drive keeps its folder;
// a drive that is not there flashes and the lists stay where they were.
TEST_F(FileSelection, TheListsFollowTheDriveAndTheFolderChosen) {
    chooseDrive(drive.path());
    EXPECT_EQ(driveList()->currentText().toStdString(), drive.path() + " [WORK]");
    EXPECT_EQ(fileList()->path(), drivePath());
    EXPECT_EQ(listed(), (QStringList{"A.txt", "b.txt"}));

    openFolder(QStringLiteral("sub"));
    EXPECT_EQ(dirList()->path(), drivePath() + "/sub");
    EXPECT_EQ(listed(), QStringList{"inner.txt"});
    writeFile(drive.file("sub/new.txt"), "");
    emit dirList()->itemClicked(dirList()->currentItem(), 0);
    EXPECT_EQ(listed(), (QStringList{"inner.txt", "new.txt"}));

    chooseDrive("/"); // still on the folder the program started in
    EXPECT_EQ(dirList()->path(), QDir::currentPath());
    chooseDrive(drive.path());
    EXPECT_EQ(dirList()->path(), drivePath() + "/sub");

    drives.list.push_back({drive.path() + "/no-card", "CARD"});
    driveList()->setDrives(drives.list); // the list reads the drives again when it opens
    chooseDrive(drive.path() + "/no-card");
    EXPECT_EQ(pauser.looks, flashLooks(utf8ToUtf16("Selected device/resource (" + drive.path() +
                                                   "/no-card [CARD]) is unavailable.")
                                           .value()));
    EXPECT_EQ(driveList()->currentDrive()->root, drive.path());
    EXPECT_EQ(fileList()->path(), drivePath() + "/sub");
}

// By mouse and by keyboard, at a drive root and below; a root keeps its own slash. A file
// that cannot be opened for writing shows no size and flashes.
TEST_F(FileSelection, PickingAFileFillsThePathAndShowsItsSize) {
    EXPECT_EQ(composeFilePath(u"/", u"vmlinuz"), u"/vmlinuz");
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
    EXPECT_TRUE(checked("decryption"));
    EXPECT_TRUE(drop(get("filepath"), {url("b.txt")}));
    EXPECT_EQ(text("filepath").toStdString(), drive.file("b.txt"));
    EXPECT_EQ(text("labelFileSize"), "File size: 11 bytes");
    EXPECT_TRUE(checked("encryption"));
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

    choose("optString");
    pauser.looks.clear();
    auto* words = get<QPlainTextEdit>("stringpath");
    EXPECT_FALSE(drop(form.get(), {url("b.txt")}) || drop(words->viewport(), {url("b.txt")}));
    EXPECT_EQ(text("filepath"), "");
    EXPECT_EQ(words->toPlainText(), "");
    EXPECT_TRUE(pauser.looks.empty());
}

// The label shows only while the counter runs, and follows its ticks.
TEST_F(FileSelection, ElapsedTimeIsShownWhileTheCounterRuns) {
    auto* elapsed = get<QLabel>("lblElapsed");
    EXPECT_FALSE(elapsed->isVisible());
    form->state().ElapsedStopped = false;
    form->window().setInterval(Ctl::ElapsedTimer, 100);
    EXPECT_TRUE(elapsed->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([this] { return form->state().ElapsedSeconds > 0.15f; }));
    EXPECT_TRUE(elapsed->text().startsWith(QStringLiteral("Elapsed time: 0.")));
    EXPECT_NE(elapsed->text(), "Elapsed time: 0.0s");
    form->window().ResetStatus();
    EXPECT_FALSE(elapsed->isVisible());
}

} // namespace
} // namespace vornal::test
