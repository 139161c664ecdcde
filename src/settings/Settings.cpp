#include "settings/Settings.h"

#include "settings/SettingsStore.h"

namespace quillmark::settings {

QString GetSetting(const QString& application, const QString& section, const QString& key, const QString& fallback) {
    return SettingsStore::shared().find(application, section, key).value_or(fallback);
}

QString GetSetting(const QString& application, const QString& section, const QString& key, std::int32_t fallback) {
    return GetSetting(application, section, key, QString::number(fallback));
}

void SaveSetting(const QString& application, const QString& section, const QString& key, const QString& value) {
    SettingsStore::shared().save(application, section, key, value);
}

void SaveSetting(const QString& application, const QString& section, const QString& key, std::int32_t value) {
    SaveSetting(application, section, key, QString::number(value));
}

} // namespace quillmark::settings
