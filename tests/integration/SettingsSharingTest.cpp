// The controller and the sending process share one settings store: every value one of them
// commits is what the other reads next.
#include "settings/IntegerText.h"
#include "settings/SettingsStore.h"
#include "support/Processes.h"
#include "support/TestHome.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace quillmark::settings {
namespace {

const QString kApp = QStringLiteral("Tollmere - Sharing");
const QString kSection = QStringLiteral("Quillmark");

TEST(SettingsSharingTest, EachReadSeesTheValueAnotherProcessCommittedLast) {
    auto& store = SettingsStore::shared();
    for (int i = 1; i <= 15; ++i) {
        const auto result = test::runController({QStringLiteral("settings"), QStringLiteral("set"), kApp, kSection,
                                                 QStringLiteral("RecipientIndex"), QString::number(i)});
        ASSERT_EQ(result.exitCode, 0) << qPrintable(result.standardError);
        EXPECT_EQ(store.find(kApp, kSection, QStringLiteral("RecipientIndex")), QString::number(i));
    }
}

TEST(SettingsSharingTest, ReadsAndWritesDuringAnotherProcesssWritesNeverFailOrGoBack) {
    auto& store = SettingsStore::shared();
    constexpr int kWrites = 60;
    QProcess writer;
    writer.setProgram(QStringLiteral("/bin/sh"));
    writer.setArguments({QStringLiteral("-c"),
                         QStringLiteral("i=1; while [ $i -le %1 ]; do \"$0\" settings set \"$1\" Quillmark Counter $i "
                                        "|| exit 1; i=$((i+1)); done")
                             .arg(kWrites),
                         test::controllerPath(), kApp});
    writer.start();
    ASSERT_TRUE(writer.waitForStarted(5000));

    int last = 0;
    int ownWrites = 0;
    while (writer.state() != QProcess::NotRunning) {
        const auto value = store.find(kApp, kSection, QStringLiteral("Counter"));
        if (value) {
            const int current = toInt32(*value);
            EXPECT_GE(current, last) << "a read went back to an older value";
            last = current;
        }
        store.save(kApp, kSection, QStringLiteral("OwnWrites"), QString::number(++ownWrites));
        writer.waitForFinished(2);
    }
    EXPECT_EQ(writer.exitCode(), 0) << qPrintable(QString::fromUtf8(writer.readAllStandardError()));
    EXPECT_EQ(store.find(kApp, kSection, QStringLiteral("Counter")), QString::number(kWrites));
    EXPECT_EQ(store.find(kApp, kSection, QStringLiteral("OwnWrites")), QString::number(ownWrites));
}

} // namespace
} // namespace quillmark::settings
