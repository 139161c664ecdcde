#include "settings/ApplicationName.h"

#include "settings/SettingsKeys.h"

namespace quillmark::settings {

namespace {
QString& processApplicationName() {
    static QString name;
    return name;
}
} // namespace

QString applicationName() {
    return processApplicationName();
}

void setApplicationName(const QString& name) {
    processApplicationName() = name;
}

QString applicationNameForProfile(const QString& profileName) {
    return QLatin1String(kProfilePrefix) + profileName;
}

} // namespace quillmark::settings
