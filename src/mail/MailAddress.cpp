#include "mail/MailAddress.h"

#include "core/Error.h"

#include <utility>

namespace quillmark::mail {

namespace {

bool isControl(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7f || c.category() == QChar::Other_Control ||
           c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

bool hasControl(const QString& text) {
    for (const QChar c : text) {
        if (isControl(c)) {
            return true;
        }
    }
    return false;
}

QString shown(const QString& text) {
    QString result;
    for (const QChar c : text) {
        result += isControl(c) ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0')) : QString(c);
    }
    return result;
}

QString unquoted(QString name) {
    name = name.trimmed();
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"'))) {
        name = name.mid(1, name.size() - 2);
        name.replace(QStringLiteral("\\\""), QStringLiteral("\""));
        name.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    }
    return name;
}

} // namespace

MailAddress::MailAddress(QString name, QString address) : m_name(std::move(name)), m_address(std::move(address)) {}

void MailAddress::checkBareAddress(const QString& address) {
    if (hasControl(address)) {
        throw core::Error(
            QStringLiteral("The address \"%1\" holds a control character; it was refused").arg(shown(address)));
    }
    if (!isWellFormed(address)) {
        throw core::Error(QStringLiteral("\"%1\" is not one well-formed e-mail address").arg(address));
    }
}

bool MailAddress::isWellFormed(const QString& address) {
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    if (at <= 0 || at == address.size() - 1 || hasControl(address)) {
        return false;
    }
    for (const QChar c : address) {
        if (c.isSpace() || c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char(',') ||
            c == QLatin1Char(';') || c == QLatin1Char('"') || c == QLatin1Char('(') || c == QLatin1Char(')')) {
            return false;
        }
    }
    const QString domain = address.mid(at + 1);
    return !domain.contains(QLatin1Char('@')) && !domain.startsWith(QLatin1Char('.')) &&
           !domain.endsWith(QLatin1Char('.')) && !domain.contains(QStringLiteral(".."));
}

MailAddress MailAddress::parse(const QString& text) {
    if (hasControl(text)) {
        throw core::Error(
            QStringLiteral("The address \"%1\" holds a control character; it was refused").arg(shown(text)));
    }
    const QString trimmed = text.trimmed();
    const qsizetype open = trimmed.lastIndexOf(QLatin1Char('<'));
    if (open < 0) {
        checkBareAddress(trimmed);
        return MailAddress(QString(), trimmed);
    }
    if (!trimmed.endsWith(QLatin1Char('>')) || trimmed.indexOf(QLatin1Char('<')) != open) {
        throw core::Error(QStringLiteral("\"%1\" is not one well-formed e-mail address").arg(trimmed));
    }
    const QString address = trimmed.mid(open + 1, trimmed.size() - open - 2).trimmed();
    const QString name = unquoted(trimmed.left(open));
    if (name.contains(QLatin1Char('@')) && !trimmed.left(open).trimmed().startsWith(QLatin1Char('"'))) {
        // "a@x, b@y <c@z>" names several mailboxes; a quoted name may hold an @.
        throw core::Error(QStringLiteral("\"%1\" names more than one address").arg(trimmed));
    }
    checkBareAddress(address);
    return MailAddress(name, address);
}

QString MailAddress::safeDisplayName(const QString& name) {
    QString result = name;
    for (QChar& c : result) {
        if (isControl(c)) {
            c = QLatin1Char(' ');
        }
    }
    return result;
}

QString MailAddress::toString() const {
    return m_name.isEmpty() ? m_address : QStringLiteral("%1 <%2>").arg(m_name, m_address);
}

} // namespace quillmark::mail
