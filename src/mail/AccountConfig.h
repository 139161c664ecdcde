#pragma once

#include <QString>
#include <optional>

namespace quillmark::mail {

// One sending account of a mail profile, as the profile file describes it.
struct AccountConfig {
    QString name;                           // display name, e.g. "Work SMTP"
    QString from;                           // the sender's identity, e.g. "Ann Example <ann@example.com>"
    QString transport;                      // smtp://host[:port], smtps://host[:port], sendmail:/path, maildir:/folder
    QString username;                       // empty: no authentication
    std::optional<QString> passwordCommand; // run through /bin/sh; its first output line is the password
    std::optional<QString> password;        // only from a file that nobody but its owner can read
    int timeoutSeconds = 30;                // bound on connecting and on each SMTP exchange
    QString caFile;                         // "ca-file": PEM certificates to trust for the server; empty: the system's
};

} // namespace quillmark::mail
