#include "SettingsStore.h"

#include "RunTimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <memory>

namespace {

QString groupKey(const QString& section, const QString& key)
{
    return section + '/' + key;
}

} // namespace

SettingsStore::SettingsStore(QString folder) : m_folder(std::move(folder)) {}

QString SettingsStore::locationOf(const QString& application) const
{
#ifdef Q_OS_WIN
    if (m_folder.isEmpty())
        return QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") +
               application;
#endif
    const QString folder =
        m_folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                           : m_folder;
    return QDir(folder).filePath(application + QStringLiteral(".ini"));
}

namespace {

std::unique_ptr<QSettings> open(const SettingsStore& store, const QString& application, bool native)
{
    if (native)
        return std::make_unique<QSettings>(store.locationOf(application), QSettings::NativeFormat);
    return std::make_unique<QSettings>(store.locationOf(application), QSettings::IniFormat);
}

} // namespace

QString SettingsStore::read(const QString& application, const QString& section, const QString& key,
                            const QString& defaultValue) const
{
#ifdef Q_OS_WIN
    const bool native = m_folder.isEmpty();
#else
    const bool native = false;
#endif
    auto settings = open(*this, application, native);
    const QVariant value = settings->value(groupKey(section, key));
    if (!value.isValid())
        return defaultValue;
    return value.toString();
}

void SettingsStore::save(const QString& application, const QString& section, const QString& key,
                         const QString& value)
{
#ifdef Q_OS_WIN
    const bool native = m_folder.isEmpty();
#else
    const bool native = false;
    // QSettings writes the file through a temporary one in the same folder, so the folder
    // must exist first.
    QDir().mkpath(QFileInfo(locationOf(application)).absolutePath());
#endif
    const auto write = [&] {
        auto settings = open(*this, application, native);
        settings->setValue(groupKey(section, key), value);
        settings->sync();
        return settings->status();
    };
    // QSettings keeps the first problem it met: a file with junk lines says FormatError even
    // though it was written in full (junk dropped, every readable key kept), and would say so
    // after a failed write as well. Only reading the value back tells.
    const auto written = [&] {
        return open(*this, application, native)->value(groupKey(section, key)) == value;
    };
    QSettings::Status status = write();
    if (status == QSettings::FormatError && written())
        status = QSettings::NoError;
    if (status == QSettings::FormatError) {
        // The file could not be parsed into anything we can write back: set it aside for
        // inspection and write a new one.
        const QString path = locationOf(application);
        QFile::remove(path + QStringLiteral(".unreadable"));
        QFile::rename(path, path + QStringLiteral(".unreadable"));
        status = write();
    }
    if (status != QSettings::NoError)
        throw RunTimeError(QStringLiteral("Cannot save the setting \"%1\": %2 cannot be written")
                               .arg(key, locationOf(application)));
}

QString readSetting(const SettingsStore& store, const char* key, const QString& defaultValue)
{
    return store.read(QString::fromLatin1(SettingKeys::Application),
                      QString::fromLatin1(SettingKeys::Section), QString::fromLatin1(key),
                      defaultValue);
}

void saveSetting(SettingsStore& store, const char* key, const QString& value)
{
    store.save(QString::fromLatin1(SettingKeys::Application),
               QString::fromLatin1(SettingKeys::Section), QString::fromLatin1(key), value);
}
