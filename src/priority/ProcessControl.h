#pragma once

#include <cstdint>
#include <optional>

// The operating system's side of process priority; one implementation file per platform.

namespace quillmark::priority {

[[nodiscard]] std::uint32_t currentProcessId();
// The process that owns a window of this system: always this process here, since a window
// identifier names a window of the calling process's own display connection.
[[nodiscard]] std::uint32_t processOwningWindow(std::int32_t windowHandle);
// Asks for the nice value; a refusal (no privilege) leaves the process where it was.
void requestNice(std::uint32_t processId, int nice);
// The process's nice value, or nothing when the process can't be reached.
[[nodiscard]] std::optional<int> readNice(std::uint32_t processId);

} // namespace quillmark::priority
