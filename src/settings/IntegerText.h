#pragma once

#include <QString>
#include <cstdint>

namespace quillmark::settings {

// Converts stored text to a signed 32-bit integer: optional surrounding spaces, an optional
// sign and decimal digits. Throws core::Error "Type mismatch" for anything else and
// "Overflow" for a number outside the 32-bit range.
[[nodiscard]] std::int32_t toInt32(const QString& text);

} // namespace quillmark::settings
