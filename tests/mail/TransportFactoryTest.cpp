#include "core/Error.h"
#include "mail/Transport.h"

#include <gtest/gtest.h>

namespace quillmark::mail {
namespace {

TEST(TransportFactoryTest, AnUnknownTransportIsRefusedWithTheAccountsName) {
    AccountConfig account;
    account.name = QStringLiteral("Work SMTP");
    account.transport = QStringLiteral("carrier-pigeon://loft");
    try {
        (void)makeTransport(account);
        ADD_FAILURE() << "an unknown transport was accepted";
    } catch (const core::Error& error) {
        EXPECT_TRUE(error.description().contains(QStringLiteral("Work SMTP")));
        EXPECT_TRUE(error.description().contains(QStringLiteral("carrier-pigeon://loft")));
    }
}

} // namespace
} // namespace quillmark::mail
