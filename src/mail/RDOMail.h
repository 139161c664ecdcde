#pragma once

#include "mail/MailObject.h"
#include "mail/MessageContent.h"
#include "mail/RDOAccount.h"
#include "mail/RDORecipients.h"

#include <QByteArray>
#include <memory>
#include <vector>

namespace quillmark::mail {

class RDOSession;

// A message in memory: a template read from a file, or a new item of a folder. Nothing is
// stored until Send, which builds the finished MIME message and hands it to the session's
// spooler.
class RDOMail : public MailObject {
public:
    RDOMail(std::shared_ptr<RDOSession> session, QString folderName, MessageContent content,
            std::shared_ptr<RDOAccount> account);

    [[nodiscard]] QString typeName() const override;

    [[nodiscard]] QString MessageClass() const { return m_content.messageClass; }
    void setMessageClass(const QString& messageClass);
    [[nodiscard]] QString Subject() const { return m_content.subject; }
    void setSubject(const QString& subject);
    // The plain body; after an HTML or RTF body was written, its fresh plain rendition.
    [[nodiscard]] QString Body() const;
    void setBody(const QString& body);
    [[nodiscard]] QString HTMLBody() const { return m_content.htmlBody; }
    // Also refreshes the plain-text rendition that travels beside the HTML.
    void setHTMLBody(const QString& html);
    [[nodiscard]] QString RTFBody() const { return m_content.rtfBody; }
    // Also refreshes the plain-text rendition that travels beside the RTF.
    void setRTFBody(const QString& rtf);
    // 1 plain, 2 HTML, 3 RTF.
    [[nodiscard]] int BodyFormat() const { return static_cast<int>(m_content.bodyFormat); }
    void setBodyFormat(int format);
    // Copies every property into `target`: class, subject, bodies, format, attachments, inline
    // images, other headers, recipients, flags, and the account when this message has one.
    void CopyTo(const std::shared_ptr<RDOMail>& target) const;
    // The sending account, or null (then Send uses the profile's default account).
    [[nodiscard]] std::shared_ptr<RDOAccount> Account() const { return m_account; }
    void setAccount(std::shared_ptr<RDOAccount> account);
    [[nodiscard]] bool SendAsICal() const { return m_content.sendAsICal; }
    void setSendAsICal(bool value) { m_content.sendAsICal = value; }
    [[nodiscard]] bool DeleteAfterSubmit() const { return m_content.deleteAfterSubmit; }
    void setDeleteAfterSubmit(bool value) { m_content.deleteAfterSubmit = value; }
    [[nodiscard]] std::shared_ptr<RDORecipients> Recipients() const { return m_recipients; }
    // Delivers now, or queues in the Outbox when the server cannot take it now. Throws
    // core::Error when the server refuses it for good, when it has no recipients, or when it
    // was sent already.
    void Send();

    [[nodiscard]] const std::vector<MessagePart>& attachments() const noexcept { return m_content.attachments; }
    void addAttachment(MessagePart file);
    [[nodiscard]] const std::vector<MessagePart>& inlineParts() const noexcept { return m_content.inlineParts; }
    // An image the HTML body shows as cid:<contentId>.
    void addInlinePart(MessagePart image);
    [[nodiscard]] const MessageContent& content() const;
    [[nodiscard]] const QString& folderName() const noexcept { return m_folderName; }
    [[nodiscard]] bool isSent() const noexcept { return m_sent; }
    // The finished message as Send would build it now (for previews); nothing is sent.
    [[nodiscard]] QByteArray toMime() const;

private:
    [[nodiscard]] std::shared_ptr<RDOAccount> sendingAccount() const;
    // Brings the plain rendition up to date with the body it follows.
    void renderPlainBody() const;

    // Which body the plain rendition must be made from before it is next read.
    enum class PendingRendition { None, Html, Rtf };

    std::shared_ptr<RDOSession> m_session;
    QString m_folderName;
    // Mutable for the plain rendition only, which is made when first read: a campaign writes
    // each copy's HTML body twice, and rendering it is the costliest step of a copy.
    mutable MessageContent m_content;
    mutable PendingRendition m_pendingRendition = PendingRendition::None;
    std::shared_ptr<RDOAccount> m_account;
    std::shared_ptr<RDORecipients> m_recipients = std::make_shared<RDORecipients>();
    bool m_sent = false;
};

} // namespace quillmark::mail
