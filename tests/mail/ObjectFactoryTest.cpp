#include "mail/ObjectFactory.h"

#include "core/Error.h"
#include "mail/MAPIUtils.h"
#include "mail/RDOSession.h"

#include <gtest/gtest.h>

namespace quillmark::mail {
namespace {

TEST(ObjectFactoryTest, TheTwoProgIdsMakeASessionAndTheUtilities) {
    const auto session = createObjectAs<RDOSession>(QStringLiteral("TollmereOutlook.TollmereRDOSession"));
    ASSERT_TRUE(session);
    EXPECT_EQ(session->typeName(), QStringLiteral("RDOSession"));
    EXPECT_FALSE(session->isLoggedOn());
    const auto utilities = createObjectAs<MAPIUtils>(QStringLiteral("TollmereOutlook.TollmereMAPIUtils"));
    ASSERT_TRUE(utilities);
    EXPECT_EQ(utilities->typeName(), QStringLiteral("MAPIUtils"));
    EXPECT_NE(createObject(QStringLiteral("TollmereOutlook.TollmereRDOSession")),
              createObject(QString::fromLatin1(kSessionProgId)))
        << "every creation makes a new object";
}

TEST(ObjectFactoryTest, AnyOtherNameIsNotRegistered) {
    for (const QString& name : {QStringLiteral("Vendor.RDOSession"), QStringLiteral("TollmereOutlook.Nothing"),
                                QString(), QStringLiteral("TollmereOutlook.TollmereRDOSession ")}) {
        try {
            (void)createObject(name);
            ADD_FAILURE() << "created " << qPrintable(name);
        } catch (const core::Error& error) {
            EXPECT_EQ(error.description(), QStringLiteral("Class not registered: ") + name);
        }
    }
}

TEST(ObjectFactoryTest, AProgIdOfTheWrongTypeIsRefused) {
    EXPECT_THROW((void)createObjectAs<RDOSession>(QString::fromLatin1(kUtilitiesProgId)), core::Error);
}

TEST(ObjectFactoryTest, ASessionThatIsNotLoggedOnRefusesWork) {
    const auto session = RDOSession::make();
    EXPECT_THROW((void)session->profileName(), core::Error);
    EXPECT_THROW((void)session->defaultFolder(4), core::Error);
    MAPIUtils utilities;
    utilities.setSession(session);
    EXPECT_THROW((void)utilities.sendReceive(3, 0), core::Error);
}

} // namespace
} // namespace quillmark::mail
