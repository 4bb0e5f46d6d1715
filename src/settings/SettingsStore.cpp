#include "SettingsStore.h"

#include "RunTimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <memory>

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

std::unique_ptr<QSettings> SettingsStore::open(const QString& application) const
{
#ifdef Q_OS_WIN
    if (m_folder.isEmpty())
        return std::make_unique<QSettings>(locationOf(application), QSettings::NativeFormat);
#endif
    return std::make_unique<QSettings>(locationOf(application), QSettings::IniFormat);
}

QString SettingsStore::read(const QString& application, const QString& section, const QString& key,
                            const QString& defaultValue) const
{
    const QVariant value = open(application)->value(section + '/' + key);
    return value.isValid() ? value.toString() : defaultValue;
}

void SettingsStore::save(const QString& application, const QString& section, const QString& key,
                         const QString& value)
{
    const auto write = [&] {
        auto settings = open(application);
        // A file is written through a temporary one in the same folder, which must exist.
        if (settings->format() == QSettings::IniFormat)
            QDir().mkpath(QFileInfo(settings->fileName()).absolutePath());
        settings->setValue(section + '/' + key, value);
        settings->sync();
        return settings->status();
    };
    // QSettings keeps the first problem it met: a file with junk lines says FormatError even
    // though it was written in full (junk dropped, every readable key kept), and would say so
    // after a failed write as well. Only reading the value back tells.
    QSettings::Status status = write();
    if (status == QSettings::FormatError && read(application, section, key, QString()) == value)
        status = QSettings::NoError;
    if (status == QSettings::FormatError) {
        // Nothing of the file could be written back: set it aside for inspection, write anew.
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
