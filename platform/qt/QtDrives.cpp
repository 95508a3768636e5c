#include "platform/qt/QtDrives.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>

namespace vornal {

std::vector<Drive> QtDrives::drives() {
    std::vector<Mount> mounts;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid()) {
            mounts.push_back({QFile::encodeName(volume.rootPath()).toStdString(),
                              volume.fileSystemType().toStdString(), volume.name().toStdString()});
        }
    }
    return userDrives(mounts, QFile::encodeName(QDir::homePath()).toStdString());
}

} // namespace vornal
