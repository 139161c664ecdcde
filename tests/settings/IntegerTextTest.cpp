#include "settings/IntegerText.h"

#include "core/Error.h"

#include <gtest/gtest.h>

namespace quillmark::settings {
namespace {

struct Conversion {
    const char* text;
    std::int32_t value;
    const char* failure; // null when the text converts
};

void PrintTo(const Conversion& row, std::ostream* out) {
    *out << '"' << row.text << '"';
}

class IntegerTextTest : public testing::TestWithParam<Conversion> {};

TEST_P(IntegerTextTest, ConvertsOrFailsWithItsDescription) {
    const auto& row = GetParam();
    if (row.failure == nullptr) {
        EXPECT_EQ(toInt32(QString::fromUtf8(row.text)), row.value);
        return;
    }
    try {
        (void)toInt32(QString::fromUtf8(row.text));
        ADD_FAILURE() << "\"" << row.text << "\" converted";
    } catch (const core::Error& error) {
        EXPECT_EQ(error.description(), QString::fromUtf8(row.failure));
    }
}

INSTANTIATE_TEST_SUITE_P(
    StoredTexts, IntegerTextTest,
    testing::Values(Conversion{"0", 0, nullptr}, Conversion{"-1", -1, nullptr}, Conversion{"  42 ", 42, nullptr},
                    Conversion{"+7", 7, nullptr}, Conversion{"007", 7, nullptr},
                    Conversion{"2147483647", 2147483647, nullptr}, Conversion{"-2147483648", -2147483647 - 1, nullptr},
                    Conversion{"2147483648", 0, "Overflow"}, Conversion{"-2147483649", 0, "Overflow"},
                    Conversion{"99999999999999999999999", 0, "Overflow"}, Conversion{"", 0, "Type mismatch"},
                    Conversion{"   ", 0, "Type mismatch"}, Conversion{"-", 0, "Type mismatch"},
                    Conversion{"abc", 0, "Type mismatch"}, Conversion{"1.5", 0, "Type mismatch"},
                    Conversion{"12a", 0, "Type mismatch"}, Conversion{"1 2", 0, "Type mismatch"},
                    Conversion{"0x10", 0, "Type mismatch"}, Conversion{"--1", 0, "Type mismatch"},
                    Conversion{"9999999999999x", 0, "Type mismatch"},
                    Conversion{"\xd9\xa3", 0, "Type mismatch"})); // an Arabic-Indic digit

} // namespace
} // namespace quillmark::settings
