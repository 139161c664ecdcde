#include "mail/RDOMail.h"

#include "core/Error.h"
#include "mail/MailAddress.h"
#include "mail/MimeWriter.h"
#include "mail/PlainRendition.h"
#include "mail/RDOSession.h"

#include <QDateTime>
#include <utility>

namespace quillmark::mail {

namespace {

QString htmlFromPlain(const QString& text) {
    QString html = text.toHtmlEscaped();
    html.replace(QStringLiteral("\r\n"), QStringLiteral("<br>\n"));
    html.replace(QLatin1Char('\n'), QStringLiteral("<br>\n"));
    return QStringLiteral("<html><body>%1</body></html>").arg(html);
}

QString rtfFromPlain(const QString& text) {
    QString rtf = QStringLiteral("{\\rtf1\\ansi\\deff0 ");
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('{') || c == QLatin1Char('}')) {
            rtf += QLatin1Char('\\') + QString(c);
        } else if (c == QLatin1Char('\n')) {
            rtf += QStringLiteral("\\par\n");
        } else if (c == QLatin1Char('\r')) {
            continue;
        } else if (c.unicode() > 0x7f) {
            rtf += QStringLiteral("\\u%1?").arg(static_cast<qint16>(c.unicode()));
        } else {
            rtf += c;
        }
    }
    return rtf + QLatin1Char('}');
}

} // namespace

RDOMail::RDOMail(std::shared_ptr<RDOSession> session, QString folderName, MessageContent content,
                 std::shared_ptr<RDOAccount> account)
    : m_session(std::move(session)), m_folderName(std::move(folderName)), m_content(std::move(content)),
      m_account(std::move(account)) {}

QString RDOMail::typeName() const {
    return QStringLiteral("RDOMail");
}

void RDOMail::setMessageClass(const QString& messageClass) {
    m_content.messageClass = messageClass;
}

void RDOMail::setSubject(const QString& subject) {
    m_content.subject = subject;
}

QString RDOMail::Body() const {
    renderPlainBody();
    return m_content.body;
}

const MessageContent& RDOMail::content() const {
    renderPlainBody();
    return m_content;
}

void RDOMail::renderPlainBody() const {
    switch (std::exchange(m_pendingRendition, PendingRendition::None)) {
    case PendingRendition::Html:
        m_content.body = PlainRendition::fromHtml(m_content.htmlBody);
        break;
    case PendingRendition::Rtf:
        m_content.body = PlainRendition::fromRtf(m_content.rtfBody);
        break;
    case PendingRendition::None:
        break;
    }
}

void RDOMail::setBody(const QString& body) {
    m_pendingRendition = PendingRendition::None;
    m_content.body = body;
    if (m_content.bodyFormat == BodyFormatCode::Unspecified) {
        m_content.bodyFormat = BodyFormatCode::Plain;
    }
}

void RDOMail::setHTMLBody(const QString& html) {
    m_content.htmlBody = html;
    m_pendingRendition = PendingRendition::Html;
    m_content.bodyFormat = BodyFormatCode::Html;
}

void RDOMail::setRTFBody(const QString& rtf) {
    m_content.rtfBody = rtf;
    m_pendingRendition = PendingRendition::Rtf;
    m_content.bodyFormat = BodyFormatCode::Rtf;
}

void RDOMail::setBodyFormat(int format) {
    renderPlainBody();
    switch (format) {
    case static_cast<int>(BodyFormatCode::Plain):
        m_content.bodyFormat = BodyFormatCode::Plain;
        return;
    case static_cast<int>(BodyFormatCode::Html):
        if (m_content.htmlBody.isEmpty()) {
            m_content.htmlBody = htmlFromPlain(m_content.body);
        }
        m_content.bodyFormat = BodyFormatCode::Html;
        return;
    case static_cast<int>(BodyFormatCode::Rtf):
        if (m_content.rtfBody.isEmpty()) {
            m_content.rtfBody = rtfFromPlain(m_content.body);
        }
        m_content.bodyFormat = BodyFormatCode::Rtf;
        return;
    default:
        throw core::Error(QStringLiteral("The body format %1 is not 1 (plain), 2 (HTML) or 3 (RTF)").arg(format));
    }
}

void RDOMail::CopyTo(const std::shared_ptr<RDOMail>& target) const {
    if (!target) {
        throw core::Error(QStringLiteral("CopyTo needs a target message"));
    }
    if (target.get() == this) {
        return;
    }
    target->m_content = m_content;
    target->m_pendingRendition = m_pendingRendition;
    target->m_recipients->assign(m_recipients->data());
    if (m_account) {
        target->m_account = m_account;
    }
}

void RDOMail::setAccount(std::shared_ptr<RDOAccount> account) {
    if (!account) {
        throw core::Error(QStringLiteral("The sending account cannot be set to nothing"));
    }
    m_account = std::move(account);
}

void RDOMail::addAttachment(MessagePart file) {
    m_content.attachments.push_back(std::move(file));
}

void RDOMail::addInlinePart(MessagePart image) {
    if (image.contentId.isEmpty()) {
        throw core::Error(QStringLiteral("An inline image needs a Content-ID"));
    }
    m_content.inlineParts.push_back(std::move(image));
}

std::shared_ptr<RDOAccount> RDOMail::sendingAccount() const {
    if (m_account) {
        return m_account;
    }
    return m_session->accounts()->orderedList(RDOAccounts::kMailAccounts)->item(1);
}

QByteArray RDOMail::toMime() const {
    Submission submission;
    submission.from = MailAddress::parse(sendingAccount()->from());
    submission.recipients = m_recipients->data();
    submission.date = QDateTime::currentDateTime();
    submission.messageId = MimeWriter::newMessageId(submission.from.address());
    return MimeWriter::write(content(), submission);
}

void RDOMail::Send() {
    if (m_sent) {
        throw core::Error(QStringLiteral("The message \"%1\" has been sent already").arg(m_content.subject));
    }
    const auto recipients = m_recipients->data();
    if (recipients.empty()) {
        throw core::Error(QStringLiteral("The message \"%1\" has no recipients").arg(m_content.subject));
    }
    Envelope envelope;
    for (const auto& recipient : recipients) {
        MailAddress::checkBareAddress(recipient.address);
        envelope.recipients << recipient.address;
    }
    const auto account = sendingAccount();
    envelope.sender = MailAddress::parse(account->from()).address();
    const QByteArray message = toMime();
    (void)m_session->submit(account->Name(), envelope, message, !m_content.deleteAfterSubmit);
    m_sent = true;
}

} // namespace quillmark::mail
