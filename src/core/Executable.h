#pragma once

#include <QString>

namespace quillmark::core {

// The running program's file name without folder and extension ("QuillmarkExternal").
// Log lines carry it as their module field and in the sources of error lines.
[[nodiscard]] QString executableName();

// The full path of the running program's file.
[[nodiscard]] QString executablePath();

} // namespace quillmark::core
