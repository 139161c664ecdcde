#include "mail/ProfileFile.h"

#include "MailTestSupport.h"
#include "core/Error.h"

#include <QFile>
#include <gtest/gtest.h>

namespace quillmark::mail {
namespace {

using test::writeProfileFile;

QString failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const core::Error& error) {
        return error.description();
    }
    ADD_FAILURE() << "no failure";
    return {};
}

const QString kTwoProfiles = QStringLiteral(R"(# my profiles
default = "Work"

[profiles.Work]
user-name = "Ann Example"
user-address = "ann@example.com"
store = "/tmp/ann-store"

[[profiles.Work.accounts]]
name = "Work SMTP"
from = "Ann Example <ann@example.com>"
transport = "smtp://smtp.example.com:587"
username = "ann"
password-command = "pass show mail/work"
timeout-seconds = 12

[[profiles.Work.accounts]]
name = "Backup"
from = "ann@backup.example"
transport = "sendmail:/usr/sbin/sendmail"

[profiles.Home]
[[profiles.Home.accounts]]
from = "Ann <ann@home.example>"
transport = "smtps://mail.home.example"
)");

TEST(ProfileFileTest, AValidFileGivesEveryProfileAndAccountInOrder) {
    const auto file = ProfileFile::load(writeProfileFile(kTwoProfiles));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->defaultProfileName(), QStringLiteral("Work"));
    const MailProfile* work = file->find(QStringLiteral("work"));
    ASSERT_NE(work, nullptr);
    EXPECT_EQ(work->name, QStringLiteral("Work"));
    EXPECT_EQ(work->userName, QStringLiteral("Ann Example"));
    EXPECT_EQ(work->userAddress, QStringLiteral("ann@example.com"));
    EXPECT_EQ(work->store, QStringLiteral("/tmp/ann-store"));
    ASSERT_EQ(work->accounts.size(), 2U);
    const AccountConfig& first = work->accounts[0];
    EXPECT_EQ(first.name, QStringLiteral("Work SMTP"));
    EXPECT_EQ(first.from, QStringLiteral("Ann Example <ann@example.com>"));
    EXPECT_EQ(first.transport, QStringLiteral("smtp://smtp.example.com:587"));
    EXPECT_EQ(first.username, QStringLiteral("ann"));
    EXPECT_EQ(first.passwordCommand, QStringLiteral("pass show mail/work"));
    EXPECT_FALSE(first.password);
    EXPECT_EQ(first.timeoutSeconds, 12);
    EXPECT_EQ(work->accounts[1].name, QStringLiteral("Backup"));

    const MailProfile* home = file->find(QStringLiteral("Home"));
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(home->userName, QStringLiteral("Ann")) << "taken from the first account's sender";
    EXPECT_EQ(home->userAddress, QStringLiteral("ann@home.example"));
    EXPECT_EQ(home->store, ProfileFile::defaultStore(QStringLiteral("Home")));
    EXPECT_EQ(home->accounts[0].name, QStringLiteral("Account 1"));
}

TEST(ProfileFileTest, ResolveFindsTheDefaultAndNamedProfiles) {
    const QString path = writeProfileFile(kTwoProfiles);
    EXPECT_EQ(ProfileFile::resolve(QString(), path).name, QStringLiteral("Work"));
    EXPECT_EQ(ProfileFile::resolve(QStringLiteral("HOME"), path).name, QStringLiteral("Home"));
}

TEST(ProfileFileTest, AnUnknownProfileFailsNamingTheKnownOnes) {
    const QString path = writeProfileFile(kTwoProfiles);
    const QString failure = failureOf([&] { (void)ProfileFile::resolve(QStringLiteral("Nowhere"), path); });
    EXPECT_TRUE(failure.contains(QStringLiteral("\"Nowhere\" is not defined"))) << qPrintable(failure);
    EXPECT_TRUE(failure.contains(QStringLiteral("Home, Work"))) << qPrintable(failure);
}

TEST(ProfileFileTest, BadTomlFailsWithItsLineNumber) {
    const QString path = writeProfileFile(QStringLiteral("default = \"Work\"\n\n[profiles.Work\nfrom = 1\n"));
    const QString failure = failureOf([&] { (void)ProfileFile::load(path); });
    EXPECT_TRUE(failure.startsWith(path + QStringLiteral(", line 3: not valid TOML"))) << qPrintable(failure);
}

struct BadProfileCase {
    const char* name;
    const char* text;
    const char* expected;
};

void PrintTo(const BadProfileCase& row, std::ostream* out) {
    *out << row.name;
}

class BadProfileTest : public testing::TestWithParam<BadProfileCase> {};

TEST_P(BadProfileTest, IsRefusedClearly) {
    const QString path = writeProfileFile(QString::fromUtf8(GetParam().text));
    const QString failure = failureOf([&] { (void)ProfileFile::load(path); });
    EXPECT_TRUE(failure.contains(QString::fromUtf8(GetParam().expected))) << qPrintable(failure);
    EXPECT_TRUE(failure.startsWith(path + QStringLiteral(", line "))) << qPrintable(failure);
}

INSTANTIATE_TEST_SUITE_P(
    ProfileFileTest, BadProfileTest,
    testing::Values(
        BadProfileCase{"UnknownKey",
                       "[profiles.A]\n[[profiles.A.accounts]]\nfrom=\"a@b.c\"\ntransport=\"x\"\npasword=\"x\"\n",
                       "unknown setting \"pasword\""},
        BadProfileCase{"NoAccounts", "[profiles.A]\nuser-name = \"A\"\n", "at least one"},
        BadProfileCase{"NoFrom", "[profiles.A]\n[[profiles.A.accounts]]\ntransport=\"smtp://x\"\n",
                       "\"from\" is missing"},
        BadProfileCase{"BadFrom", "[profiles.A]\n[[profiles.A.accounts]]\nfrom=\"a@b, c@d\"\ntransport=\"smtp://x\"\n",
                       "\"from\""},
        BadProfileCase{"NumberAsText", "[profiles.A]\n[[profiles.A.accounts]]\nfrom=\"a@b.c\"\ntransport=5\n",
                       "\"transport\" must be a text"},
        BadProfileCase{"UndefinedDefault",
                       "default=\"B\"\n[profiles.A]\n[[profiles.A.accounts]]\nfrom=\"a@b.c\"\ntransport=\"smtp://x\"\n",
                       "default profile \"B\" is not defined"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ProfileFileTest, APasswordInAFileOthersCanReadIsRefused) {
    const QString path = writeProfileFile(QStringLiteral(
        "[profiles.A]\n[[profiles.A.accounts]]\nfrom=\"a@b.c\"\ntransport=\"smtp://x\"\npassword=\"secret\"\n"));
    EXPECT_EQ(ProfileFile::load(path)->profiles().front().accounts.front().password, QStringLiteral("secret"))
        << "a private file may hold a password";

    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    const QString failure = failureOf([&] { (void)ProfileFile::load(path); });
    EXPECT_TRUE(failure.contains(QStringLiteral("other users can read it"))) << qPrintable(failure);
    EXPECT_TRUE(failure.contains(QStringLiteral("chmod 600"))) << qPrintable(failure);
}

TEST(ProfileFileTest, APasswordCommandNeedsNoPrivateFile) {
    const QString path = writeProfileFile(QStringLiteral("[profiles.A]\n[[profiles.A.accounts]]\nfrom=\"a@b."
                                                         "c\"\ntransport=\"smtp://x\"\npassword-command=\"echo s\"\n"));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    const auto file = ProfileFile::load(path);
    EXPECT_EQ(file->profiles().front().accounts.front().passwordCommand, QStringLiteral("echo s"));
}

TEST(ProfileFileTest, WithoutAFileOnlyTheBuiltInLocalProfileExists) {
    const QString path = test::freshFolder(QStringLiteral("none")) + QStringLiteral("/mail-profiles.toml");
    const MailProfile local = ProfileFile::resolve(QString(), path);
    EXPECT_EQ(local.name, QStringLiteral("Local"));
    EXPECT_TRUE(local.userAddress.endsWith(QStringLiteral("@localhost")));
    ASSERT_EQ(local.accounts.size(), 1U);
    EXPECT_EQ(local.accounts[0].transport, QStringLiteral("maildir:") + local.store + QStringLiteral("/Delivered"));
    EXPECT_EQ(ProfileFile::resolve(QStringLiteral("local"), path).name, QStringLiteral("Local"));
    const QString failure = failureOf([&] { (void)ProfileFile::resolve(QStringLiteral("Work"), path); });
    EXPECT_TRUE(failure.contains(QStringLiteral("\"Work\" is not defined"))) << qPrintable(failure);
}

TEST(ProfileFileTest, AddingAProfileKeepsTheOthersAndTheirComments) {
    const QString path = writeProfileFile(kTwoProfiles);
    MailProfile added;
    added.name = QStringLiteral("Club \"Z\"");
    added.userName = QStringLiteral("Zoë");
    added.userAddress = QStringLiteral("zoe@club.example");
    AccountConfig account;
    account.name = added.name;
    account.from = QStringLiteral("Zoë <zoe@club.example>");
    account.transport = QStringLiteral("smtp://127.0.0.1:2525");
    account.passwordCommand = QStringLiteral("printf '%s' \"x\\y\"");
    account.timeoutSeconds = 7;
    added.accounts.push_back(account);
    ProfileFile::addProfile(added, true, path);

    const auto file = ProfileFile::load(path);
    EXPECT_EQ(file->profiles().size(), 3U);
    EXPECT_EQ(file->defaultProfileName(), added.name);
    const MailProfile* club = file->find(added.name);
    ASSERT_NE(club, nullptr);
    EXPECT_EQ(club->accounts.front().passwordCommand, account.passwordCommand);
    EXPECT_EQ(club->accounts.front().timeoutSeconds, 7);
    EXPECT_EQ(club->userName, QStringLiteral("Zoë"));
    QFile raw(path);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_TRUE(raw.readAll().startsWith("# my profiles")) << "comments are kept";
    EXPECT_FALSE(QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther));

    const QString failure = failureOf([&] { ProfileFile::addProfile(added, false, path); });
    EXPECT_TRUE(failure.contains(QStringLiteral("already exists"))) << qPrintable(failure);
}

} // namespace
} // namespace quillmark::mail
