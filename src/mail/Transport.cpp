#include "mail/Transport.h"

#include "core/Error.h"
#include "mail/Credentials.h"
#include "mail/MaildirTransport.h"
#include "mail/SendmailTransport.h"
#include "mail/SmtpTransport.h"

#include <QDir>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>

namespace quillmark::mail {

namespace {

constexpr int smtpSubmissionPort = 587;
constexpr int smtpsPort = 465;

// The transport as descriptions quote it: a password written into the URL stays out of the log.
QString shownTransport(const AccountConfig& account) {
    static const QRegularExpression userInfo(QStringLiteral("(://)[^/]*@"));
    QString shown = account.transport;
    return shown.replace(userInfo, QStringLiteral("\\1***@"));
}

[[noreturn]] void failMalformed(const AccountConfig& account, const QString& reason) {
    throw core::Error(QStringLiteral("The account \"%1\" has a malformed transport \"%2\": %3")
                          .arg(account.name, shownTransport(account), reason));
}

bool hasControlCharacter(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

// maildir:/folder and sendmail:/program; the URL form with an empty authority (maildir:///folder) too.
QString localPath(const AccountConfig& account, QString path) {
    if (path.startsWith(QLatin1String("///"))) {
        path = path.mid(2);
    } else if (path.startsWith(QLatin1String("//"))) {
        failMalformed(account, QStringLiteral("it names a host; only local paths are possible"));
    }
    if (path.isEmpty()) {
        failMalformed(account, QStringLiteral("it names no path"));
    }
    if (!path.startsWith(QLatin1Char('/'))) {
        failMalformed(account, QStringLiteral("the path must be absolute, like /home/ann/Mail"));
    }
    return QDir::cleanPath(path);
}

int portOf(const AccountConfig& account, const QUrl& url, bool implicitTls) {
    const int port = url.port(-1);
    if (port == -1) {
        return implicitTls ? smtpsPort : smtpSubmissionPort;
    }
    if (port < 1 || port > 65535) {
        failMalformed(account, QStringLiteral("the port must be between 1 and 65535"));
    }
    return port;
}

SmtpTransport::Options smtpOptions(const AccountConfig& account, bool implicitTls) {
    const QUrl url(account.transport.trimmed(), QUrl::StrictMode);
    if (!url.isValid()) {
        failMalformed(account, url.errorString());
    }
    if (url.host().isEmpty()) {
        failMalformed(account, QStringLiteral("it names no server"));
    }
    if (!url.userInfo().isEmpty()) {
        failMalformed(account, QStringLiteral("it holds a user name or password; set username and password-command "
                                              "of the account instead"));
    }
    if ((!url.path().isEmpty() && url.path() != QLatin1String("/")) || url.hasQuery() || url.hasFragment()) {
        failMalformed(account, QStringLiteral("only a server and a port may follow the scheme"));
    }
    SmtpTransport::Options options;
    options.host = url.host();
    options.port = portOf(account, url, implicitTls);
    options.implicitTls = implicitTls;
    options.username = account.username;
    options.password = [account] { return resolvePassword(account); };
    options.timeoutSeconds = account.timeoutSeconds;
    options.caFile = account.caFile;
    return options;
}

} // namespace

std::unique_ptr<Transport> makeTransport(const AccountConfig& account) {
    const QString text = account.transport.trimmed();
    if (hasControlCharacter(text)) {
        failMalformed(account, QStringLiteral("it holds a control character"));
    }
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const QString scheme = colon > 0 ? text.left(colon).toLower() : QString();
    const QString rest = text.mid(colon + 1);
    if (scheme == QLatin1String("maildir")) {
        return std::make_unique<MaildirTransport>(localPath(account, rest));
    }
    if (scheme == QLatin1String("sendmail")) {
        return std::make_unique<SendmailTransport>(localPath(account, rest), account.timeoutSeconds);
    }
    if (scheme == QLatin1String("smtp") || scheme == QLatin1String("smtps")) {
        return std::make_unique<SmtpTransport>(smtpOptions(account, scheme == QLatin1String("smtps")));
    }
    throw core::Error(QStringLiteral("The account \"%1\" names an unknown transport \"%2\"; use smtp://, smtps://, "
                                     "sendmail: or maildir:")
                          .arg(account.name, shownTransport(account)));
}

} // namespace quillmark::mail
