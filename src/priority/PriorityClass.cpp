#include "priority/PriorityClass.h"

#include <cstdlib>

namespace quillmark::priority {

std::optional<PriorityClass> classByValue(std::int32_t value) {
    for (const auto& entry : kPriorityClasses) {
        if (entry.value == value) {
            return entry;
        }
    }
    return std::nullopt;
}

std::optional<PriorityClass> classByName(const QString& name) {
    for (const auto& entry : kPriorityClasses) {
        if (name == QLatin1String(entry.name)) {
            return entry;
        }
    }
    return std::nullopt;
}

PriorityClass classForNice(int nice) {
    const PriorityClass* best = &kPriorityClasses.front();
    for (const auto& entry : kPriorityClasses) {
        const int distance = std::abs(entry.nice - nice);
        const int bestDistance = std::abs(best->nice - nice);
        if (distance < bestDistance || (distance == bestDistance && std::abs(entry.nice) < std::abs(best->nice))) {
            best = &entry;
        }
    }
    return *best;
}

} // namespace quillmark::priority
