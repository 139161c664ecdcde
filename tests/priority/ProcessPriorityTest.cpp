#include "priority/ProcessPriority.h"

#include "priority/PriorityClass.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace quillmark::priority {
namespace {

struct NamedClass {
    const char* name;
    std::int32_t value;
};

void PrintTo(const NamedClass& row, std::ostream* out) {
    *out << row.name;
}

class PriorityNameTest : public testing::TestWithParam<NamedClass> {};

TEST_P(PriorityNameTest, NamesAndValuesMapBothWays) {
    const auto& row = GetParam();
    EXPECT_EQ(ProcessPriorityName(row.value), QString::fromUtf8(row.name));
    EXPECT_EQ(ProcessPrioritiesFromName(QString::fromUtf8(row.name)), row.value);
}

INSTANTIATE_TEST_SUITE_P(Classes, PriorityNameTest,
                         testing::Values(NamedClass{"Idle", 64}, NamedClass{"Below Normal", 16384},
                                         NamedClass{"Normal", 32}, NamedClass{"Above Normal", 32768},
                                         NamedClass{"High", 128}, NamedClass{"Realtime", 256}));

TEST(ProcessPriorityTest, UnknownNamesAndValues) {
    EXPECT_EQ(ProcessPriorityName(5), QStringLiteral("Unknown:5"));
    EXPECT_EQ(ProcessPriorityName(-1), QStringLiteral("Unknown:-1"));
    for (const char* name : {"", "high", "HIGH", "Below normal", " Idle", "Unknown:5", "Real time"}) {
        EXPECT_EQ(ProcessPrioritiesFromName(QString::fromUtf8(name)), 64) << name;
    }
}

TEST(ProcessPriorityTest, NiceValuesReadBackAsTheNearestClass) {
    for (const auto& entry : kPriorityClasses) {
        EXPECT_EQ(classForNice(entry.nice).value, entry.value) << entry.name;
    }
    EXPECT_EQ(classForNice(15).value, 64);
    EXPECT_EQ(classForNice(14).value, 16384);
    EXPECT_EQ(classForNice(5).value, 32) << "a tie goes to the class nearer Normal";
    EXPECT_EQ(classForNice(-15).value, 128);
}

TEST(ProcessPriorityTest, AppliesAClassToAnotherProcessAndReadsItBack) {
    QProcess child;
    child.start(QStringLiteral("/bin/sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(child.waitForStarted(5000));
    const auto pid = static_cast<std::uint32_t>(child.processId());

    EXPECT_EQ(ProcessPrioritySet(pid, 0, 16384), 16384);
    EXPECT_EQ(getpriority(PRIO_PROCESS, pid), 10);
    EXPECT_EQ(ProcessPrioritySet(pid, 0, 64), 64);
    EXPECT_EQ(getpriority(PRIO_PROCESS, pid), 19);
    // An unknown class changes nothing and reports the class the process has.
    EXPECT_EQ(ProcessPrioritySet(pid, 0, 5), 64);

    child.kill();
    child.waitForFinished(5000);
}

TEST(ProcessPriorityTest, AProcessThatCannotBeReachedGivesZero) {
    EXPECT_EQ(ProcessPrioritySet(0x7ffffffe, 0, 64), 0);
}

TEST(ProcessPriorityTest, ThisProcessIsChosenWhenNoProcessIsNamed) {
    const int before = getpriority(PRIO_PROCESS, 0);
    // Lowering our own priority is always allowed; the class read back must say so.
    const std::int32_t expected = before <= 10 ? 16384 : classForNice(before).value;
    EXPECT_EQ(ProcessPrioritySet(0, 1234, 16384), expected);
    EXPECT_GE(getpriority(PRIO_PROCESS, 0), 10);
}

} // namespace
} // namespace quillmark::priority
