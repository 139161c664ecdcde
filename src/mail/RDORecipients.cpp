#include "mail/RDORecipients.h"

#include "core/Error.h"
#include "mail/MailAddress.h"

namespace quillmark::mail {

QString RDORecipients::typeName() const {
    return QStringLiteral("RDORecipients");
}

void RDORecipients::Clear() {
    m_recipients.clear();
}

std::shared_ptr<RDORecipient> RDORecipients::AddEx(const QString& name, const QString& address,
                                                   const QString& addressType, int recipientType) {
    if (addressType.compare(QLatin1String("SMTP"), Qt::CaseInsensitive) != 0) {
        throw core::Error(QStringLiteral("The address type \"%1\" is not supported; use SMTP").arg(addressType));
    }
    if (recipientType < static_cast<int>(RecipientKind::To) || recipientType > static_cast<int>(RecipientKind::Bcc)) {
        throw core::Error(QStringLiteral("The recipient type %1 is not 1 (To), 2 (Cc) or 3 (Bcc)").arg(recipientType));
    }
    const QString bare = address.trimmed();
    MailAddress::checkBareAddress(bare);
    RecipientData data;
    data.name = name.isEmpty() ? bare : name;
    data.address = bare;
    data.kind = static_cast<RecipientKind>(recipientType);
    data.resolved = true;
    return m_recipients.emplace_back(std::make_shared<RDORecipient>(std::move(data)));
}

std::shared_ptr<RDORecipient> RDORecipients::Add(const QString& address) {
    const MailAddress mailbox = MailAddress::parse(address);
    return AddEx(mailbox.name(), mailbox.address(), QStringLiteral("SMTP"), static_cast<int>(RecipientKind::To));
}

bool RDORecipients::ResolveAll() {
    bool all = true;
    for (const auto& recipient : m_recipients) {
        all = recipient->resolve() && all;
    }
    return all;
}

std::shared_ptr<RDORecipient> RDORecipients::item(int position) const {
    if (position < 1 || position > count()) {
        throw core::Error(
            QStringLiteral("There is no recipient number %1; the message has %2").arg(position).arg(count()));
    }
    return m_recipients[static_cast<size_t>(position - 1)];
}

std::vector<RecipientData> RDORecipients::data() const {
    std::vector<RecipientData> result;
    result.reserve(m_recipients.size());
    for (const auto& recipient : m_recipients) {
        result.push_back(recipient->data());
    }
    return result;
}

void RDORecipients::assign(const std::vector<RecipientData>& recipients) {
    m_recipients.clear();
    for (const auto& recipient : recipients) {
        m_recipients.push_back(std::make_shared<RDORecipient>(recipient));
    }
}

} // namespace quillmark::mail
