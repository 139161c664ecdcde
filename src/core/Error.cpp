#include "core/Error.h"

#include <new>

namespace quillmark::core {

Error::Error(const QString& description) : std::runtime_error(description.toStdString()), m_description(description) {}

QString describe(const std::exception& failure) {
    if (const auto* error = dynamic_cast<const Error*>(&failure)) {
        return error->description();
    }
    if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr) {
        return QStringLiteral("Out of memory");
    }
    return QString::fromLocal8Bit(failure.what());
}

} // namespace quillmark::core
