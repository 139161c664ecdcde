#pragma once

#include <QString>
#include <cstdint>

// Naming, parsing and applying the priority class the sender runs at.

namespace quillmark::priority {

// The class's name, or "Unknown:" followed by the value.
[[nodiscard]] QString ProcessPriorityName(std::int32_t priorityClass);
// The class value of an exactly spelt name; any other text gives the idle class (64).
[[nodiscard]] std::int32_t ProcessPrioritiesFromName(const QString& name);
// Applies the class to the process `processId`, or (when 0) to the owner of `windowHandle`,
// or (when that is 0 too) to this process. Returns the class the process has afterwards,
// 0 when it can't be reached.
std::int32_t ProcessPrioritySet(std::uint32_t processId, std::int32_t windowHandle, std::int32_t priorityClass);

} // namespace quillmark::priority
