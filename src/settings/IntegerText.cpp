#include "settings/IntegerText.h"

#include "core/Error.h"

#include <limits>

namespace quillmark::settings {

std::int32_t toInt32(const QString& text) {
    const QString trimmed = text.trimmed();
    qsizetype position = 0;
    bool negative = false;
    if (position < trimmed.size() && (trimmed[position] == u'+' || trimmed[position] == u'-')) {
        negative = trimmed[position] == u'-';
        ++position;
    }
    if (position == trimmed.size()) {
        throw core::Error(QStringLiteral("Type mismatch"));
    }
    // Accumulate as a negative number so that the most negative 32-bit value fits.
    constexpr std::int64_t lowest = std::numeric_limits<std::int32_t>::min();
    std::int64_t value = 0;
    bool overflow = false;
    for (; position < trimmed.size(); ++position) {
        const char16_t c = trimmed[position].unicode();
        if (c < u'0' || c > u'9') {
            throw core::Error(QStringLiteral("Type mismatch"));
        }
        if (!overflow) {
            value = value * 10 - (c - u'0');
            overflow = value < lowest;
        }
    }
    if (overflow || (!negative && -value > std::numeric_limits<std::int32_t>::max())) {
        throw core::Error(QStringLiteral("Overflow"));
    }
    return static_cast<std::int32_t>(negative ? value : -value);
}

} // namespace quillmark::settings
