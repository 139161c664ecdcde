#pragma once

#include "mail/AccountConfig.h"

#include <QString>
#include <vector>

namespace quillmark::mail {

// A named mail configuration: the user's identity, the folder store and the sending accounts
// in file order (the first is the default account).
struct MailProfile {
    QString name;
    QString userName;
    QString userAddress;
    QString store; // the Maildir tree holding Outbox, Sent Items, ...
    std::vector<AccountConfig> accounts;
};

} // namespace quillmark::mail
