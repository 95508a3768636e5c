#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace vornal {

// A path as the system spells it (bytes in the locale's encoding) and as the window shows it.
[[nodiscard]] inline QString decodePath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}
[[nodiscard]] inline std::string encodePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace vornal
