#include "support/Processes.h"
#include "support/TestHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace quillmark {
namespace {

using test::runController;

class ControllerPreviewTest : public testing::Test {
protected:
    void SetUp() override {
        folder = test::testHome() + QStringLiteral("/preview/");
        QDir().mkpath(folder);
        write(QStringLiteral("Offer.xml"), R"(<campaign MessageClass="IPM.Note">
  <r address=" ann@example.com "><f name="FirstName">Ann</f><f name="Company">Acme</f></r>
  <r address="bob@example.com"><f name="FirstName">Bob</f></r>
  <r address="  "/>
</campaign>)");
        write(QStringLiteral("Offer.oft"), "Subject: Offer for [Substitute: FirstName, Default: \"you\"]\r\n"
                                           "Content-Type: text/plain; charset=utf-8\r\n\r\n"
                                           "Dear [Substitute: FirstName, Default: \"customer\"] of "
                                           "[Substitute: Company, Default: \"Do not send\"],\r\n");
    }

    void write(const QString& name, const QByteArray& content) {
        QFile file(folder + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    QStringList preview(const QStringList& extra) {
        const auto result =
            runController(QStringList{QStringLiteral("preview"), folder + QStringLiteral("Offer.xml")} + extra);
        exitCode = result.exitCode;
        error = result.standardError;
        return result.standardOutput.split(QLatin1Char('\n'));
    }

    QString folder;
    int exitCode = -1;
    QString error;
};

TEST_F(ControllerPreviewTest, PrintsThePersonalisedMessageAndWhetherItWouldBeSent) {
    const QStringList first = preview({});
    ASSERT_EQ(exitCode, 0) << qPrintable(error);
    EXPECT_EQ(first.value(0), QStringLiteral("Recipient 0 of 3: ann@example.com"));
    EXPECT_EQ(first.value(1), QStringLiteral("Subject: Offer for Ann"));
    EXPECT_EQ(first.value(2), QStringLiteral("Format: TEXT"));
    EXPECT_TRUE(first.contains(QStringLiteral("Dear Ann of Acme,\r"))) << qPrintable(first.join(QLatin1Char('|')));
    EXPECT_TRUE(first.contains(QStringLiteral("This recipient would be sent the message above.")));

    const QStringList second = preview({QStringLiteral("--index"), QStringLiteral("1")});
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(second.last().isEmpty());
    EXPECT_TRUE(second.contains(QStringLiteral(
        "This recipient would be skipped: a field whose default is \"Do not send\" is missing or empty.")));

    const QStringList third = preview({QStringLiteral("--index"), QStringLiteral("2")});
    EXPECT_EQ(third.value(0), QStringLiteral("Recipient 2 of 3: (no address)"));
    EXPECT_TRUE(third.contains(QStringLiteral("This recipient would be skipped: its address is blank.")));
}

TEST_F(ControllerPreviewTest, RefusesWhatCannotBePreviewed) {
    (void)preview({QStringLiteral("--index"), QStringLiteral("3")});
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(error, QStringLiteral("quillmark: The campaign has 3 recipients; there is none at index 3 (the first is "
                                    "0)\n"));

    QFile::remove(folder + QStringLiteral("Offer.oft"));
    (void)preview({});
    EXPECT_EQ(exitCode, 1);
    EXPECT_TRUE(error.contains(QStringLiteral("Offer.oft"))) << qPrintable(error);

    const auto missing = runController({QStringLiteral("preview"), folder + QStringLiteral("Nothing.xml")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.standardError.startsWith(QStringLiteral("quillmark: Cannot read the data file ")));
    EXPECT_EQ(missing.standardError.count(QLatin1Char('\n')), 1);
}

} // namespace
} // namespace quillmark
