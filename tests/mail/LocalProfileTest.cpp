#include "core/Error.h"
#include "mail/MailStore.h"
#include "mail/MimeReader.h"
#include "mail/ProfileFile.h"
#include "mail/RDOSession.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace quillmark::mail {
namespace {

// The test home has no profile file, so a logon with no name finds the built-in profile.
TEST(LocalProfileTest, AMessageSentWithTheBuiltInProfileLandsInDelivered) {
    ASSERT_FALSE(QFileInfo::exists(ProfileFile::defaultPath()));
    const auto session = RDOSession::make();
    session->logon();
    EXPECT_EQ(session->profileName(), QStringLiteral("Local"));
    EXPECT_TRUE(session->currentUser()->address().endsWith(QStringLiteral("@localhost")));

    const auto message = session->defaultFolder(4)->items()->add(QStringLiteral("IPM.Note"));
    message->setSubject(QStringLiteral("Local Grüße"));
    message->setBody(QStringLiteral("Nothing leaves this machine."));
    (void)message->Recipients()->Add(session->currentUser()->address());
    message->Send();

    const MaildirFolder delivered = session->store().folder(MailStore::deliveredName());
    const auto entries = delivered.entries();
    ASSERT_EQ(entries.size(), 1U);
    const ParsedMessage parsed = MimeReader::read(delivered.read(entries[0]), QStringLiteral("delivered"));
    EXPECT_EQ(parsed.content.subject, QStringLiteral("Local Grüße"));
    EXPECT_EQ(session->store().folder(MailStore::sentItemsName()).entries().size(), 1U);
    EXPECT_TRUE(session->store().root().endsWith(QStringLiteral("/tollmere/mail/Local")));
}

TEST(LocalProfileTest, AnyOtherNameIsNotDefinedWithoutAProfileFile) {
    const auto session = RDOSession::make();
    EXPECT_THROW(session->logon(QStringLiteral("Work")), core::Error);
    EXPECT_FALSE(session->isLoggedOn());
}

} // namespace
} // namespace quillmark::mail
