#include "mail/Credentials.h"

#include "core/Error.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace quillmark::mail {
namespace {

AccountConfig accountWithCommand(const QString& command) {
    AccountConfig account;
    account.name = QStringLiteral("Work SMTP");
    account.passwordCommand = command;
    return account;
}

QString failureOf(const AccountConfig& account, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    try {
        (void)resolvePassword(account, limit);
    } catch (const core::Error& error) {
        return error.description();
    }
    ADD_FAILURE() << "the password was resolved";
    return {};
}

TEST(CredentialsTest, APlainPasswordIsUsedAsItIs) {
    AccountConfig account;
    account.password = QStringLiteral(" spaces and \"quotes\" ");
    EXPECT_EQ(resolvePassword(account), QStringLiteral(" spaces and \"quotes\" "));
}

TEST(CredentialsTest, NoPasswordAtAllIsEmpty) {
    EXPECT_TRUE(resolvePassword(AccountConfig{}).isEmpty());
}

TEST(CredentialsTest, TheCommandsFirstLineIsThePassword) {
    AccountConfig account = accountWithCommand(QStringLiteral("printf 'pa ss wörd\\r\\nsecond line\\n'"));
    account.password = QStringLiteral("ignored");
    EXPECT_EQ(resolvePassword(account), QStringLiteral("pa ss wörd"));
}

TEST(CredentialsTest, TheCommandRunsThroughTheShell) {
    EXPECT_EQ(resolvePassword(accountWithCommand(QStringLiteral("x=abc; echo \"$x\" | tr a-z A-Z"))),
              QStringLiteral("ABC"));
}

TEST(CredentialsTest, TheCommandGetsNoInput) {
    EXPECT_EQ(resolvePassword(accountWithCommand(QStringLiteral("cat; echo done"))), QStringLiteral("done"));
}

TEST(CredentialsTest, AFailingCommandGivesItsStatusAndErrorOutput) {
    const QString failure = failureOf(accountWithCommand(QStringLiteral("echo 'gpg: decryption failed' >&2; exit 2")));
    EXPECT_TRUE(failure.contains(QStringLiteral("Work SMTP"))) << qPrintable(failure);
    EXPECT_TRUE(failure.contains(QStringLiteral("exit status 2"))) << qPrintable(failure);
    EXPECT_TRUE(failure.contains(QStringLiteral("gpg: decryption failed"))) << qPrintable(failure);
}

TEST(CredentialsTest, ACommandThatPrintsNothingFails) {
    const QString failure = failureOf(accountWithCommand(QStringLiteral("true")));
    EXPECT_TRUE(failure.contains(QStringLiteral("no password"))) << qPrintable(failure);
}

TEST(CredentialsTest, ACommandThatIsNotFoundFails) {
    const QString failure = failureOf(accountWithCommand(QStringLiteral("/no/such/password-helper")));
    EXPECT_TRUE(failure.contains(QStringLiteral("exit status 127"))) << qPrintable(failure);
}

TEST(CredentialsTest, ACommandThatHangsIsEndedInTime) {
    QElapsedTimer clock;
    clock.start();
    const QString failure =
        failureOf(accountWithCommand(QStringLiteral("sleep 30; echo late")), std::chrono::milliseconds(500));
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_TRUE(failure.contains(QStringLiteral("did not finish"))) << qPrintable(failure);
}

} // namespace
} // namespace quillmark::mail
