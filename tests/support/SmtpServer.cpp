#include "support/SmtpServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <stdexcept>
#include <utility>

namespace quillmark::test {

namespace {

constexpr int startLimitMs = 20000;
constexpr int stopLimitMs = 5000;

QStringList argumentsFor(const SmtpServerOptions& options, const QString& record) {
    QStringList arguments{QStringLiteral(QUILLMARK_SOURCE_DIR "/tests/support/smtp_server.py"),
                          QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--record"), record};
    for (const QString& refusal : options.refusals) {
        arguments << QStringLiteral("--refuse") << refusal;
    }
    if (options.dropData > 0) {
        arguments << QStringLiteral("--drop-data") << QString::number(options.dropData);
    }
    if (!options.stall.isEmpty()) {
        arguments << QStringLiteral("--stall") << options.stall;
    }
    if (options.replyDelaySeconds > 0) {
        arguments << QStringLiteral("--reply-delay") << QString::number(options.replyDelaySeconds);
    }
    if (!options.certificateFile.isEmpty()) {
        arguments << QStringLiteral("--cert") << options.certificateFile << QStringLiteral("--key") << options.keyFile;
    }
    if (options.implicitTls) {
        arguments << QStringLiteral("--implicit-tls");
    }
    if (options.requireStartTls) {
        arguments << QStringLiteral("--require-starttls");
    }
    if (!options.credentials.isEmpty()) {
        arguments << QStringLiteral("--auth") << options.credentials;
    }
    return arguments;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + path.toStdString());
    }
    return file.readAll();
}

} // namespace

SmtpServer::SmtpServer(SmtpServerOptions options) : m_options(std::move(options)) {
    if (!m_record.isValid()) {
        throw std::runtime_error("cannot create the SMTP server's record folder");
    }
    // Debian's python3 has aiosmtpd; another python3 earlier on PATH may not.
    m_process.start(QStringLiteral("/usr/bin/python3"), argumentsFor(m_options, m_record.path()));
    const QDeadlineTimer deadline(startLimitMs);
    QByteArray output;
    while (!output.contains('\n')) {
        if (deadline.hasExpired() || !m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            const QString problem =
                m_process.errorString() + QLatin1Char(' ') + QString::fromUtf8(m_process.readAllStandardError());
            m_process.kill();
            m_process.waitForFinished(stopLimitMs);
            throw std::runtime_error("the test SMTP server did not start: " + problem.toStdString());
        }
        output += m_process.readAllStandardOutput();
    }
    const QByteArray line = output.left(output.indexOf('\n')).trimmed();
    m_port = static_cast<quint16>(line.mid(line.indexOf(' ') + 1).toUInt());
    if (!line.startsWith("PORT ") || m_port == 0) {
        throw std::runtime_error("the test SMTP server printed no port: " + line.toStdString());
    }
}

SmtpServer::~SmtpServer() {
    stop();
}

void SmtpServer::stop() {
    if (m_process.state() == QProcess::NotRunning) {
        return;
    }
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(stopLimitMs)) {
        m_process.kill();
        m_process.waitForFinished(stopLimitMs);
    }
}

QString SmtpServer::url() const {
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(m_options.implicitTls ? QStringLiteral("smtps") : QStringLiteral("smtp"))
        .arg(m_port);
}

QStringList SmtpServer::recordFiles(const QString& suffix) const {
    QStringList files = QDir(m_record.path()).entryList({QStringLiteral("*") + suffix}, QDir::Files, QDir::Name);
    for (QString& file : files) {
        file = m_record.filePath(file);
    }
    return files;
}

std::vector<QJsonObject> SmtpServer::messages() const {
    std::vector<QJsonObject> summaries;
    for (const QString& file : recordFiles(QStringLiteral(".json"))) {
        summaries.push_back(QJsonDocument::fromJson(readFile(file)).object());
    }
    return summaries;
}

std::vector<QByteArray> SmtpServer::rawMessages() const {
    std::vector<QByteArray> messages;
    for (const QString& file : recordFiles(QStringLiteral(".eml"))) {
        messages.push_back(readFile(file));
    }
    return messages;
}

int SmtpServer::connectionCount() const {
    return readFile(m_record.filePath(QStringLiteral("connections"))).trimmed().toInt();
}

TestCertificate makeSelfSignedCertificate(const QString& folder) {
    TestCertificate made{folder + QStringLiteral("/cert.pem"), folder + QStringLiteral("/key.pem")};
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                   QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=localhost"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1"), QStringLiteral("-keyout"), made.keyFile,
                   QStringLiteral("-out"), made.certificateFile});
    if (!openssl.waitForFinished(startLimitMs) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        openssl.kill();
        openssl.waitForFinished(stopLimitMs);
        throw std::runtime_error("openssl could not make a test certificate: " +
                                 QString::fromUtf8(openssl.readAllStandardError()).toStdString());
    }
    return made;
}

} // namespace quillmark::test
