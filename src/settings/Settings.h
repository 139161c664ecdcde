#pragma once

#include <QString>
#include <cstdint>

namespace quillmark::settings {

// The stored text, or `fallback` when the key is missing.
[[nodiscard]] QString GetSetting(const QString& application, const QString& section, const QString& key,
                                 const QString& fallback);
// The same with an integer default, given back as its decimal text when the key is missing.
[[nodiscard]] QString GetSetting(const QString& application, const QString& section, const QString& key,
                                 std::int32_t fallback);
// Stores the value durably, creating application, section and key as needed.
void SaveSetting(const QString& application, const QString& section, const QString& key, const QString& value);
void SaveSetting(const QString& application, const QString& section, const QString& key, std::int32_t value);

} // namespace quillmark::settings
