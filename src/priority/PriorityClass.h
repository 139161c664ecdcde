#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace quillmark::priority {

// A priority class: its name, its class value and the nice value that realises it here.
struct PriorityClass {
    const char* name;
    std::int32_t value;
    int nice;
};

inline constexpr std::int32_t kIdleClass = 64;

// In the order names are compared.
inline constexpr std::array<PriorityClass, 6> kPriorityClasses{{
    {"Idle", kIdleClass, 19},
    {"Below Normal", 16384, 10},
    {"Normal", 32, 0},
    {"Above Normal", 32768, -5},
    {"High", 128, -10},
    {"Realtime", 256, -20},
}};

[[nodiscard]] std::optional<PriorityClass> classByValue(std::int32_t value);
[[nodiscard]] std::optional<PriorityClass> classByName(const QString& name);
// The class whose nice value lies nearest (ties go to the class nearer Normal).
[[nodiscard]] PriorityClass classForNice(int nice);

} // namespace quillmark::priority
