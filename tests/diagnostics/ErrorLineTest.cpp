#include "diagnostics/ErrorLine.h"

#include "core/Error.h"
#include "core/Executable.h"

#include <gtest/gtest.h>

namespace quillmark::diagnostics {
namespace {

TEST(ErrorLineTest, FormsTheTwoErrorLinesAndTheirSources) {
    EXPECT_EQ(errorLineText(12, QStringLiteral("File not found")),
              QStringLiteral("Error occurred at line 12.  Reason: File not found"));
    EXPECT_EQ(errorLineText(QStringLiteral("Type mismatch")), QStringLiteral("Error occurred.  Reason: Type mismatch"));
    EXPECT_EQ(executableSource(u"CState.Initialize"), core::executableName() + QStringLiteral(".CState.Initialize"));
    EXPECT_EQ(productSource(u"MyReplace"), QStringLiteral("Quillmark.MyReplace"));
    EXPECT_EQ(core::executableName(), QStringLiteral("diagnostics_tests"));
}

TEST(ErrorLineTest, DescribesEveryKindOfFailure) {
    EXPECT_EQ(core::describe(core::Error(QStringLiteral("Überlauf"))), QStringLiteral("Überlauf"));
    EXPECT_EQ(core::describe(std::bad_alloc()), QStringLiteral("Out of memory"));
    EXPECT_EQ(core::describe(std::runtime_error("plain")), QStringLiteral("plain"));
}

} // namespace
} // namespace quillmark::diagnostics
