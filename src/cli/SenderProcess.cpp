#include "cli/SenderProcess.h"

#include "campaign/CampaignFiles.h"
#include "core/Error.h"
#include "ipc/CommandSocketPath.h"
#include "mail/MimeReader.h"
#include "mail/ProfileFile.h"
#include "settings/ApplicationName.h"
#include "settings/SettingsKeys.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>
#include <cstdio>
#include <unistd.h>

namespace quillmark::cli {

namespace {

// How long a connection attempt may take before the sender counts as not listening: a live
// sender's socket accepts at once, even while its window thread is busy with a tick.
constexpr int kConnectTimeoutMs = 1000;
constexpr std::chrono::milliseconds kPollInterval{100};

void pause(std::chrono::milliseconds interval) {
    QThread::msleep(static_cast<unsigned long>(interval.count()));
}

} // namespace

SenderProfile resolveSenderProfile(const QString& requested) {
    const mail::MailProfile profile = mail::ProfileFile::resolve(requested);
    return {profile.name, settings::applicationNameForProfile(profile.name)};
}

std::optional<ipc::WindowHandle> publishedWindow(const SenderProfile& profile) {
    std::int32_t window = 0;
    try {
        window = settings::readFor(profile.application, settings::keys::ExternalQuillmarkHwnd);
    } catch (const core::Error&) {
        return std::nullopt; // a value that is not a window identifier names no window
    }
    return window == 0 ? std::nullopt : std::optional<ipc::WindowHandle>(window);
}

bool isListening(ipc::WindowHandle window) {
    const QString path = ipc::commandSocketPath(window);
    if (ipc::pathKind(path) != ipc::PathKind::Socket) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(path);
    const bool connected = socket.waitForConnected(kConnectTimeoutMs);
    socket.abort();
    return connected;
}

bool waitUntilSilent(ipc::WindowHandle window, std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    while (isListening(window)) {
        if (deadline.hasExpired()) {
            return false;
        }
        pause(kPollInterval);
    }
    return true;
}

bool waitForState(const SenderProfile& profile, const QString& state, std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    while (settings::readFor(profile.application, settings::keys::SendState) != state) {
        if (deadline.hasExpired()) {
            return false;
        }
        pause(kPollInterval);
    }
    return true;
}

QString reportFilePath(const SenderProfile& profile, const QString& subject) {
    return settings::readFor(profile.application, settings::keys::AppDataFolder) + campaign::SanitizeFileName(subject) +
           QStringLiteral(".txt");
}

QString templateSubject(const QString& templatePath) {
    QFile file(templatePath);
    if (!file.open(QIODevice::ReadOnly)) {
        throw core::Error(
            QStringLiteral("Cannot read the template message %1: %2").arg(templatePath, file.errorString()));
    }
    return mail::MimeReader::read(file.readAll(), templatePath).content.subject;
}

QString senderExecutable(const QString& override) {
    if (!override.isEmpty()) {
        const QFileInfo given(override);
        if (!given.isFile() || !given.isExecutable()) {
            throw core::Error(QStringLiteral("The sender %1 is not an executable file").arg(override));
        }
        return given.absoluteFilePath();
    }
    // The controller runs without an application object, so it finds itself through the kernel.
    const QString here = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath();
    // Build tree first (src/cli/quillmark beside src/app/QuillmarkExternal), then an installation.
    for (const QString& candidate :
         {here + QStringLiteral("/../app/QuillmarkExternal"), here + QStringLiteral("/QuillmarkExternal")}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable()) {
            return info.canonicalFilePath();
        }
    }
    throw core::Error(QStringLiteral("Cannot find the sending program QuillmarkExternal beside %1").arg(here));
}

std::int64_t startDetached(const QString& program) {
    QProcess process;
    process.setProgram(program);
    // The sender writes its own log; inheriting our streams would hold a pipe reading from us
    // open for the whole campaign.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        throw core::Error(QStringLiteral("Cannot start the sender %1: %2").arg(program, process.errorString()));
    }
    return pid;
}

bool standardOutputIsTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}

void printProgress(const QString& text) {
    // Carriage return, the text, then clear whatever a longer previous line left behind.
    const QByteArray bytes = QByteArrayLiteral("\r") + text.toUtf8() + QByteArrayLiteral("\x1b[K");
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace quillmark::cli
