#pragma once

#include <QIcon>

namespace quillmark::app {

// The window's own icon: a quill over a sealed letter, drawn at 32 x 32 and 16 x 16 pixels.
[[nodiscard]] QIcon quillmarkIcon();

} // namespace quillmark::app
