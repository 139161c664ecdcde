#include "settings/SettingsKeys.h"

#include "core/Error.h"
#include "settings/ApplicationName.h"
#include "settings/IntegerText.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"

#include <QStandardPaths>

namespace quillmark::settings {

QString defaultAppDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/tollmere/");
}

namespace keys {
const TextSetting LogFilePathName{"LogFilePathName", kMakerSection, Scope::Profile, [](const QString& application) {
                                      return readFor(application, AppDataFolder) + QStringLiteral("TollmereLog.txt");
                                  }};
} // namespace keys

namespace {

QString applicationOf(const TextSetting& setting) {
    return setting.scope == Scope::Maker ? QString::fromLatin1(kMakerName) : applicationName();
}

QString fallbackOf(const QString& application, const TextSetting& setting) {
    if (setting.fallback == nullptr) {
        throw core::Error(QStringLiteral("The setting %1 has no default").arg(QLatin1String(setting.key)));
    }
    return setting.fallback(application);
}

} // namespace

QString read(const TextSetting& setting) {
    return readFor(applicationOf(setting), setting);
}

QString read(const TextSetting& setting, const QString& fallback) {
    return GetSetting(applicationOf(setting), QLatin1String(setting.section), QLatin1String(setting.key), fallback);
}

std::int32_t read(const IntSetting& setting) {
    return readFor(applicationName(), setting);
}

void write(const TextSetting& setting, const QString& value) {
    writeFor(applicationOf(setting), setting, value);
}

void write(const IntSetting& setting, std::int32_t value) {
    writeFor(applicationName(), setting, value);
}

// The default is worked out only when the store holds no value: it may cost a read of its own.
QString readFor(const QString& application, const TextSetting& setting) {
    if (auto stored =
            SettingsStore::shared().find(application, QLatin1String(setting.section), QLatin1String(setting.key))) {
        return *std::move(stored);
    }
    return fallbackOf(application, setting);
}

std::int32_t readFor(const QString& application, const IntSetting& setting) {
    return toInt32(
        GetSetting(application, QLatin1String(setting.section), QLatin1String(setting.key), setting.fallback));
}

void writeFor(const QString& application, const TextSetting& setting, const QString& value) {
    SaveSetting(application, QLatin1String(setting.section), QLatin1String(setting.key), value);
}

void writeFor(const QString& application, const IntSetting& setting, std::int32_t value) {
    SaveSetting(application, QLatin1String(setting.section), QLatin1String(setting.key), value);
}

} // namespace quillmark::settings
