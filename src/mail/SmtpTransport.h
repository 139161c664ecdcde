#pragma once

#include "mail/Transport.h"

#include <QString>
#include <functional>
#include <memory>

namespace quillmark::mail {

// Delivers through an SMTP server with libcurl, over one connection kept open between
// messages. TLS: smtps:// speaks TLS from the first byte; smtp:// upgrades with STARTTLS when
// the server offers it and insists on it when a user name is configured, so a password never
// travels in clear text. Every exchange with the server is bounded by the timeout.
class SmtpTransport final : public Transport {
public:
    struct Options {
        QString host; // name or address; an IPv6 address without brackets
        int port = 587;
        bool implicitTls = false;          // smtps://
        QString username;                  // empty: no authentication
        std::function<QString()> password; // asked once, when the first connection needs it; may throw core::Error
        int timeoutSeconds = 30;           // bound on connecting and on waiting for each reply
        QString caFile;                    // PEM file of the certificates to trust; empty: the system's
    };

    explicit SmtpTransport(Options options);
    ~SmtpTransport() override;

    [[nodiscard]] DeliveryResult deliver(const Envelope& envelope, const QByteArray& message) override;
    void verify() override;

private:
    struct Session;

    [[nodiscard]] QString server() const;
    [[nodiscard]] bool resolvePassword(DeliveryResult* failure);
    [[nodiscard]] std::unique_ptr<Session> openSession() const;
    void watch(Session& session) const;
    void secure(Session& session) const;
    [[nodiscard]] DeliveryResult transfer(const Envelope& envelope, const QByteArray& wire);

    Options m_options;
    QString m_password;
    bool m_passwordResolved = false;
    std::unique_ptr<Session> m_session;
};

} // namespace quillmark::mail
