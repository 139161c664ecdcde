#pragma once

#include <QString>

namespace quillmark::test {

// Every test process runs in a fresh temporary home: HOME, XDG_CONFIG_HOME, XDG_DATA_HOME
// and XDG_RUNTIME_DIR point into it, so the settings store, the log and the report files of
// a test never touch the user's own. The folder is removed when the process ends.
[[nodiscard]] QString testHome();
void createTestHome();

// Paths of the programs under test, from the build tree.
[[nodiscard]] QString controllerPath();
[[nodiscard]] QString senderPath();

} // namespace quillmark::test
