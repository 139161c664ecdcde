#pragma once

#include "core/Error.h"

#include <QString>
#include <memory>

namespace quillmark::sending {

// The object a step needs, or a failure saying what is missing.
template <typename T>
T& require(const std::shared_ptr<T>& object, const QString& missing) {
    if (!object) {
        throw core::Error(missing);
    }
    return *object;
}

} // namespace quillmark::sending
