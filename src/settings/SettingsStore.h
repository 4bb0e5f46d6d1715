#pragma once

#include <QString>
#include <memory>

class QSettings;

// The per-user settings: string values addressed by application, section and key.
// On Linux each application is one INI file in the settings folder ($XDG_CONFIG_HOME, or a
// folder given by the caller) and each section a group in it; on Windows the values live in
// the current user's registry under "Software\VB and VBA Program Settings".
class SettingsStore {
public:
    // An empty folder means the platform's own per-user location.
    explicit SettingsStore(QString folder = QString());

    // The stored string, or `defaultValue` when the key, section or application is absent.
    QString read(const QString& application, const QString& section, const QString& key,
                 const QString& defaultValue) const;

    // Writes the value and has it on disk before returning. Throws RunTimeError when the value
    // cannot be written.
    void save(const QString& application, const QString& section, const QString& key,
              const QString& value);

    // The file (or registry path) that holds one application's values.
    QString locationOf(const QString& application) const;

private:
    std::unique_ptr<QSettings> open(const QString& application) const;

    QString m_folder;
};

// The names under which this program keeps its values.
namespace SettingKeys {
inline constexpr const char* Application = "Kestrani";
inline constexpr const char* Section = "Orvo Peln Tandrick";
inline constexpr const char* Combo1 = "Combo1";
inline constexpr const char* Volume = "Volume";
inline constexpr const char* Pitch = "Pitch";
} // namespace SettingKeys

// Shorthands for this program's own section.
QString readSetting(const SettingsStore& store, const char* key, const QString& defaultValue);
void saveSetting(SettingsStore& store, const char* key, const QString& value);
