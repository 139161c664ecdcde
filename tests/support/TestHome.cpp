#include "support/TestHome.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace quillmark::test {

namespace {
std::unique_ptr<QTemporaryDir>& homeDir() {
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}

void setVariable(const char* name, const QString& value) {
    ::setenv(name, QFile::encodeName(value).constData(), 1);
}
} // namespace

void createTestHome() {
    auto& dir = homeDir();
    dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quillmark-test-XXXXXX"));
    if (!dir->isValid()) {
        throw std::runtime_error("cannot create a temporary home for the tests");
    }
    const QString home = dir->path();
    for (const char* sub : {"config", "data", "runtime"}) {
        QDir(home).mkpath(QLatin1String(sub));
    }
    QFile::setPermissions(home + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setVariable("HOME", home);
    setVariable("XDG_CONFIG_HOME", home + QStringLiteral("/config"));
    setVariable("XDG_DATA_HOME", home + QStringLiteral("/data"));
    setVariable("XDG_RUNTIME_DIR", home + QStringLiteral("/runtime"));
}

QString testHome() {
    return homeDir() ? homeDir()->path() : QString();
}

QString controllerPath() {
    return QStringLiteral(QUILLMARK_BINARY_DIR "/src/cli/quillmark");
}

QString senderPath() {
    return QStringLiteral(QUILLMARK_BINARY_DIR "/src/app/QuillmarkExternal");
}

} // namespace quillmark::test
