#pragma once

#include <QString>

namespace quillmark::settings {

// The settings application name: "Tollmere - " followed by the logged-on profile's name.
// It is empty until the mail session has logged on; nothing is logged while it is empty.
[[nodiscard]] QString applicationName();
void setApplicationName(const QString& name);

// "Tollmere - " + profile: the application name of a profile's settings.
[[nodiscard]] QString applicationNameForProfile(const QString& profileName);

} // namespace quillmark::settings
