// The drive, folder and file lists: how they follow each other, the path a picked file
// gives, its size, and the elapsed-time counter shown while an operation runs.
#include "tests/window/FormFixture.h"
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
};

TEST_F(FileSelection, ChoosingADriveMovesTheFolderListAndTheFileListFollows) {
    chooseDrive(drive.path());
    EXPECT_EQ(dirList()->path(), drivePath());
    EXPECT_EQ(fileList()->path(), drivePath());
    // Every name, hidden files left out, sorted without regard to case.
    EXPECT_EQ(listed(), (QStringList{"A.txt", "b.txt"}));
    EXPECT_EQ(driveList()->currentText().toStdString(), drive.path() + " [WORK]");
}

TEST_F(FileSelection, OpeningAFolderShowsItsFilesAndAClickReadsTheFolderAgain) {
    chooseDrive(drive.path());
    openFolder(QStringLiteral("sub"));
    EXPECT_EQ(dirList()->path(), drivePath() + "/sub");
    EXPECT_EQ(listed(), QStringList{"inner.txt"});

    writeFile(drive.file("sub/new.txt"), "");
    EXPECT_EQ(listed(), QStringList{"inner.txt"});
    emit dirList()->itemClicked(dirList()->currentItem(), 0);
    EXPECT_EQ(dirList()->path(), drivePath() + "/sub");
    EXPECT_EQ(listed(), (QStringList{"inner.txt", "new.txt"}));
}

TEST_F(FileSelection, ADriveRemembersItsFolder) {
    chooseDrive(drive.path());
    openFolder(QStringLiteral("sub"));
    // The root drive is still on the folder the program started in.
    chooseDrive("/");
    EXPECT_EQ(dirList()->path(), QDir::currentPath());
    chooseDrive(drive.path());
    EXPECT_EQ(dirList()->path(), drivePath() + "/sub");
}

TEST_F(FileSelection, PickingAFileFillsThePathAndShowsItsSize) {
    chooseDrive(drive.path());
    clickFile(QStringLiteral("b.txt"));
    EXPECT_EQ(text("filepath").toStdString(), drive.path() + "/b.txt");
    EXPECT_EQ(form->window().text(Ctl::filepath), utf8ToUtf16(drive.path() + "/b.txt").value());
    EXPECT_EQ(text("labelFileSize"), "File size: 11 bytes");
    EXPECT_TRUE(pauser.looks.empty());
}

TEST_F(FileSelection, TheKeyboardPicksFilesToo) {
    chooseDrive(drive.path());
    fileList()->setFocus();
    fileList()->setCurrentRow(0);
    QTest::keyClick(fileList(), Qt::Key_Down);
    EXPECT_EQ(text("filepath").toStdString(), drive.path() + "/b.txt");
}

TEST_F(FileSelection, PathsAreJoinedWithOneSlashAndARootKeepsItsOwn) {
    EXPECT_EQ(composeFilePath(u"/", u"vmlinuz"), u"/vmlinuz");
    EXPECT_EQ(composeFilePath(u"/home/anna", u"notes.txt"), u"/home/anna/notes.txt");
    EXPECT_EQ(composeFilePath(u"/media/anna/CARD", u"a b.txt"), u"/media/anna/CARD/a b.txt");

    // Through the window, in a folder below a drive root.
    chooseDrive(drive.path());
    openFolder(QStringLiteral("sub"));
    clickFile(QStringLiteral("inner.txt"));
    EXPECT_EQ(text("filepath").toStdString(), drive.path() + "/sub/inner.txt");
    EXPECT_EQ(text("labelFileSize"), "File size: 5 bytes");
}

TEST_F(FileSelection, SizesAtTheUnitBoundaries) {
    const std::vector<std::pair<std::uint64_t, const char*>> cases = {
        {1023, "File size: 1023 bytes"}, {1024, "File size: 1 kb"},
        {1025, "File size: 1.00 kb"},    {1048575, "File size: 1023.99 kb"},
        {1048576, "File size: 1 mb"},    {5000000, "File size: 4.76 mb"}};
    for (const auto& [length, expected] : cases) {
        const std::string name = "size" + std::to_string(length);
        writeFile(drive.file(name), "");
        std::filesystem::resize_file(drive.file(name), length);
    }
    chooseDrive(drive.path());
    for (const auto& [length, expected] : cases) {
        clickFile(QString::fromStdString("size" + std::to_string(length)));
        EXPECT_EQ(text("labelFileSize"), expected) << length;
    }
}

TEST_F(FileSelection, AFileThatCannotBeOpenedForWritingShowsNoSizeAndFlashes) {
    files.denied.insert(drive.file("b.txt"));
    chooseDrive(drive.path());
    clickFile(QStringLiteral("b.txt"));
    EXPECT_EQ(text("labelFileSize"), "File size: N/A");
    EXPECT_EQ(pauser.looks, flashLooks(u"Error: Access to file is denied."));
    EXPECT_EQ(text("filepath").toStdString(), drive.path() + "/b.txt");
    EXPECT_EQ(text("Status"), "Ready.");
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
    for (int i = 0; i < 3; ++i) {
        form->ElapsedTimer_Timer();
    }
    EXPECT_EQ(elapsed->text(), "Elapsed time: 0.3s");

    // After the first minute the counter ticks once a second.
    form->state().ElapsedSeconds = 124;
    form->ElapsedTimer_Timer();
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_EQ(elapsed->text(), "Elapsed time: 2min 5s");

    form->window().ResetStatus();
    EXPECT_FALSE(timer->isActive());
    EXPECT_FALSE(elapsed->isVisible());
}

} // namespace
} // namespace vornal::test
