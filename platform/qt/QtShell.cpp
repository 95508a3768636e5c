#include "platform/qt/QtShell.h"

#include <QDesktopServices>
#include <QFile>
#include <QUrl>

namespace vornal {

bool QtShell::openDocument(const std::string& path) {
    return QDesktopServices::openUrl(
        QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path))));
}

} // namespace vornal
