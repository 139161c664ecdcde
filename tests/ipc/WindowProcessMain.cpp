// A stand-in for the sender's window process: one hooked window with its receiver and its
// command channel. It prints every command it receives; command 2 closes everything from
// inside its own event and ends the process, as the suspend command does.
#include "ipc/CNotify.h"
#include "ipc/CommandServer.h"
#include "ipc/WindowMessages.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <memory>

using namespace quillmark::ipc;

namespace {

std::int32_t windowProcedure(WindowHandle, std::uint32_t uMsg, std::int32_t, std::intptr_t) {
    return uMsg == WM_COPYDATA ? 1 : 0;
}

void say(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const WindowHandle handle = QCoreApplication::arguments().value(1).toInt();
    auto window = std::make_unique<QObject>();
    registerWindow(window.get(), handle, &windowProcedure);
    std::shared_ptr<CNotify> notify = CNotify::create();
    notify->setHWnd(handle);
    std::unique_ptr<CommandServer> server;
    try {
        server = std::make_unique<CommandServer>(handle);
    } catch (const std::exception& failure) {
        say(QStringLiteral("error ") + QString::fromUtf8(failure.what()));
        return 2;
    }
    notify->setOutlookMessageHandler([&](std::int32_t& code, QString& text) {
        say(QStringLiteral("command %1 %2").arg(code).arg(text));
        if (code == 2) {
            server.reset();
            window.reset();
            notify.reset();
            QCoreApplication::quit();
        }
    });
    say(QStringLiteral("ready ") + server->path());
    return QCoreApplication::exec();
}
