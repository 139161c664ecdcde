#include "sending/Arithmetic.h"

#include "core/Error.h"

namespace quillmark::sending {

namespace {
[[noreturn]] void overflow() {
    throw core::Error(QStringLiteral("Overflow"));
}
} // namespace

std::int32_t checkedAdd(std::int32_t a, std::int32_t b) {
    std::int32_t result = 0;
    if (__builtin_add_overflow(a, b, &result)) {
        overflow();
    }
    return result;
}

std::int32_t checkedMultiply(std::int32_t a, std::int32_t b) {
    std::int32_t result = 0;
    if (__builtin_mul_overflow(a, b, &result)) {
        overflow();
    }
    return result;
}

} // namespace quillmark::sending
