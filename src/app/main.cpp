// The sending process. Its window, start-up sequence and campaign loop are built on the
// settings, diagnostics and priority modules; until the window exists it only checks that
// the settings store can be opened.
#include "core/Error.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    try {
        (void)quillmark::settings::SettingsStore::shared();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "QuillmarkExternal: %s\n", qUtf8Printable(quillmark::core::describe(failure)));
        return 1;
    }
    return 0;
}
