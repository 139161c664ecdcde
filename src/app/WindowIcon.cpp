#include "app/WindowIcon.h"

#include <QString>

namespace quillmark::app {

QIcon quillmarkIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/quillmark/icons/quillmark-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/quillmark/icons/quillmark-32.png"), QSize(32, 32));
    return icon;
}

} // namespace quillmark::app
