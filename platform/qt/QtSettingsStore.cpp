#include "platform/qt/QtSettingsStore.h"

#include "platform/RunError.h"

#include <QSettings>
#include <cerrno>

namespace vornal {

namespace {

QString keyPath(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

} // namespace

std::string QtSettingsStore::read(const std::string& application, const std::string& section,
                                  const std::string& key) {
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                             QString::fromStdString(application));
    return settings.value(keyPath(section, key)).toString().toStdString();
}

void QtSettingsStore::write(const std::string& application, const std::string& section,
                            const std::string& key, const std::string& value) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString(application));
    settings.setValue(keyPath(section, key), QString::fromStdString(value));
    // Now, not in the destructor: the program may end the process without unwinding.
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        throw RunError::fromErrno(EACCES);
    }
}

} // namespace vornal
