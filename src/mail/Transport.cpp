#include "mail/Transport.h"

#include "core/Error.h"

namespace quillmark::mail {

std::unique_ptr<Transport> makeTransport(const AccountConfig& account) {
    throw core::Error(QStringLiteral("The account \"%1\" names an unknown transport \"%2\"; use smtp://, smtps://, "
                                     "sendmail: or maildir:")
                          .arg(account.name, account.transport));
}

} // namespace quillmark::mail
