#pragma once

#include "platform/Drives.h"
#include "platform/FileSystem.h"

#include <QString>
#include <map>
#include <string>

namespace vornal {

class DirListBox;
class DriveListBox;

// The drive and folder lists together: they start on the process's current folder, a drive
// chosen shows the folder last shown on it, and the folder shown at exit is kept in
// prevdir.tmp for the next start.
class FolderLists {
public:
    FolderLists(DriveListBox& driveList, DirListBox& dirList, DriveSource& drives,
                FileSystem& files, std::string programFolder);

    // The drive list reads the drives again, keeping its entry.
    void fillDrives();
    // The process's current folder, else the root of its drive.
    void startInCurrentFolder();
    // The saved folder, when it can be read and is there; else the lists stay as they are.
    void restoreSavedFolder();
    // Saves the folder shown in prevdir.tmp; throws RunError when it cannot.
    void saveFolder();

    // The chosen drive's last folder, else its root; false, with the folder list unchanged,
    // when neither can be read.
    [[nodiscard]] bool showChosenDrive();
    // The drive list shows the drive the folder list is on, else the one that holds its folder.
    void selectShownDrive();
    // The folder shown becomes its drive's last.
    void rememberFolder();

private:
    // Shows folder under root and selects its drive; false when it cannot be read.
    bool showFolder(const QString& folder, const QString& root);
    // The root of the drive that holds folder; "/" when none does.
    [[nodiscard]] QString rootOf(const QString& folder) const;

    DriveListBox& driveList_;
    DirListBox& dirList_;
    DriveSource& drives_;
    FileSystem& files_;
    std::string programFolder_;
    std::map<QString, QString> lastFolders_; // by the drive's root
};

} // namespace vornal
