#include "core/Executable.h"

#include <QFileInfo>

namespace quillmark::core {

QString executablePath() {
    // The link always names the file this process was started from, whatever argv[0] says.
    static const QString path = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return path;
}

QString executableName() {
    static const QString name = QFileInfo(executablePath()).completeBaseName();
    return name;
}

} // namespace quillmark::core
