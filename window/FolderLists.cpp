#include "window/FolderLists.h"

#include "platform/ProgramFolder.h"
#include "window/FileLists.h"
#include "window/LocalPaths.h"
#include "window/Startup.h"

#include <QDir>

namespace vornal {

FolderLists::FolderLists(DriveListBox& driveList, DirListBox& dirList, DriveSource& drives,
                         FileSystem& files, std::string programFolder)
    : driveList_(driveList), dirList_(dirList), drives_(drives), files_(files),
      programFolder_(std::move(programFolder)) {}

void FolderLists::fillDrives() {
    driveList_.setDrives(drives_.drives());
}

void FolderLists::startInCurrentFolder() {
    const QString folder = QDir::currentPath();
    const QString root = rootOf(folder);
    if (!showFolder(folder, root)) {
        (void)showFolder(root, root);
    }
}

void FolderLists::restoreSavedFolder() {
    const std::optional<std::string> saved = readPreviousFolder(files_, programFolder_);
    if (!saved || saved->empty() || saved->front() != '/') {
        return;
    }
    // A folder that is gone leaves the lists as they are.
    const QString folder = decodePath(*saved);
    (void)showFolder(folder, rootOf(folder));
}

void FolderLists::saveFolder() {
    makePrivateFolder(files_, programFolder_);
    writePreviousFolder(files_, programFolder_, encodePath(dirList_.path()));
}

bool FolderLists::showChosenDrive() {
    const std::optional<Drive> drive = driveList_.currentDrive();
    if (!drive) {
        return true;
    }
    const QString root = decodePath(drive->root);
    const auto last = lastFolders_.find(root);
    return (last != lastFolders_.end() && showFolder(last->second, root)) || showFolder(root, root);
}

void FolderLists::selectShownDrive() {
    const auto& drives = driveList_.drives();
    for (std::size_t i = 0; i < drives.size(); ++i) {
        if (decodePath(drives[i].root) == dirList_.root()) {
            driveList_.selectQuietly(i);
            return;
        }
    }
    if (const auto index = driveOfFolder(drives, encodePath(dirList_.path()))) {
        driveList_.selectQuietly(*index);
    }
}

void FolderLists::rememberFolder() {
    lastFolders_[dirList_.root()] = dirList_.path();
}

bool FolderLists::showFolder(const QString& folder, const QString& root) {
    if (!dirList_.setPath(folder, root)) {
        return false;
    }
    selectShownDrive();
    return true;
}

QString FolderLists::rootOf(const QString& folder) const {
    const auto& drives = driveList_.drives();
    const auto index = driveOfFolder(drives, encodePath(folder));
    return index ? decodePath(drives[*index].root) : QStringLiteral("/");
}

} // namespace vornal
