#pragma once

#include <cstdint>

// Signed 32-bit arithmetic that fails with "Overflow" instead of wrapping.

namespace quillmark::sending {

[[nodiscard]] std::int32_t checkedAdd(std::int32_t a, std::int32_t b);
[[nodiscard]] std::int32_t checkedMultiply(std::int32_t a, std::int32_t b);

} // namespace quillmark::sending
