#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <vector>

namespace quillmark::test {

// What the test server should do besides accepting mail.
struct SmtpServerOptions {
    QStringList refusals;         // "TEXT=REPLY": RCPT of an address containing TEXT gets REPLY
    int dropData = 0;             // drop the connection in the middle of the first N DATA transfers
    QString stall;                // "connect", "rcpt" or "data": never answer there
    double replyDelaySeconds = 0; // pause before each RCPT and DATA reply
    QString certificateFile;      // with keyFile: offer STARTTLS (or implicit TLS)
    QString keyFile;
    bool implicitTls = false;     // TLS from the first byte, as smtps:// expects
    bool requireStartTls = false; // refuse everything but EHLO, STARTTLS and QUIT before TLS
    QString credentials;          // "user:password": AUTH required, only over TLS
};

// A real SMTP server (aiosmtpd) on 127.0.0.1 in a child process, started by the constructor
// (which throws std::runtime_error if it does not come up in time) and stopped by the destructor.
class SmtpServer {
public:
    explicit SmtpServer(SmtpServerOptions options = {});
    ~SmtpServer();
    SmtpServer(const SmtpServer&) = delete;
    SmtpServer& operator=(const SmtpServer&) = delete;

    [[nodiscard]] quint16 port() const noexcept { return m_port; }
    // smtp://127.0.0.1:<port>, or smtps:// for an implicit-TLS server.
    [[nodiscard]] QString url() const;
    // One summary per accepted message, oldest first: mailFrom, rcptTos, from, to, subject,
    // messageId, date, contentType, textBody, htmlBody, attachments [{filename, contentType,
    // size}], defects.
    [[nodiscard]] std::vector<QJsonObject> messages() const;
    // The accepted messages as the server received them.
    [[nodiscard]] std::vector<QByteArray> rawMessages() const;
    // Client connections that greeted the server (the server's own start-up probe not counted).
    [[nodiscard]] int connectionCount() const;
    // Stops the server now; connections to its port are refused afterwards.
    void stop();

private:
    [[nodiscard]] QStringList recordFiles(const QString& suffix) const;

    SmtpServerOptions m_options;
    QTemporaryDir m_record;
    QProcess m_process;
    quint16 m_port = 0;
};

struct TestCertificate {
    QString certificateFile; // PEM; also the CA file a client must trust
    QString keyFile;
};

// A throw-away self-signed certificate for 127.0.0.1 and localhost, made with openssl into
// `folder`. Throws std::runtime_error when openssl fails.
[[nodiscard]] TestCertificate makeSelfSignedCertificate(const QString& folder);

} // namespace quillmark::test
