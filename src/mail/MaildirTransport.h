#pragma once

#include "mail/MaildirFolder.h"
#include "mail/Transport.h"

namespace quillmark::mail {

// "Delivers" into a local Maildir folder: the profile's own delivery folder, where nothing
// leaves the machine. A message that cannot be written is kept for later.
class MaildirTransport final : public Transport {
public:
    explicit MaildirTransport(QString folder);

    [[nodiscard]] DeliveryResult deliver(const Envelope& envelope, const QByteArray& message) override;
    // Creates the folder when missing and checks that it can be written to.
    void verify() override;

private:
    MaildirFolder m_folder;
};

} // namespace quillmark::mail
