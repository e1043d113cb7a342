#include "report/report_texts.h"

#include <gtest/gtest.h>

namespace ksx4 {
namespace {

TEST(ReportTexts, ValueTexts) {
    const QLocale us("en_US");
    EXPECT_EQ(voltsText(24500, us), "24.5V");
    EXPECT_EQ(voltsText(8990, us), "9.0V");
    EXPECT_EQ(kiloText(24550, us), "24.6");
    EXPECT_EQ(kiloText(0, us), "0.0");
    EXPECT_EQ(kiloText(65535, us), "65.5");
    EXPECT_EQ(kiloText(24500, QLocale("de_DE")), "24,5");
    EXPECT_EQ(millivoltsText(850), "850mV");
    EXPECT_EQ(addressText(20), "20 (14H)");
    EXPECT_EQ(addressText(255), "255 (FFH)");
    EXPECT_EQ(addressText(0), "0 (0H)");
}

TEST(ReportTexts, ShieldShortCodes) {
    const char* expected[] = {"Short to (+)",
                              "Short to (-)",
                              "No Shorts",
                              "Both",
                              "Intermittent Short to (+)",
                              "Intermittent Short to (-)",
                              "Short to (+)",
                              "Short to (-)",
                              "Unknown"};
    for (uint8_t code = 0; code <= 8; ++code) EXPECT_EQ(shieldShortText(code), expected[code]);
    EXPECT_EQ(shieldShortText(255), "Unknown");
}

TEST(ReportTexts, SummarySentences) {
    const struct {
        int bad, warn;
        const char* text;
    } cases[] = {
        {0, 0, "Measurement Summary: All Measurements are OK"},
        {0, 1, "Measurement Summary: 1 WARNING"},
        {0, 2, "Measurement Summary: 2 WARNINGS"},
        {1, 0, "Measurement Summary: 1 Measurement is BAD"},
        {1, 1, "Measurement Summary: 1 Measurement is BAD and 1 WARNING"},
        {1, 3, "Measurement Summary: 1 Measurement is BAD and 3 WARNINGS"},
        {2, 0, "Measurement Summary: 2 Measurements are BAD"},
        {3, 1, "Measurement Summary: 3 Measurements are BAD and 1 WARNING"},
        {12, 33, "Measurement Summary: 12 Measurements are BAD and 33 WARNINGS"},
    };
    for (const auto& c : cases) EXPECT_EQ(summarySentence(c.bad, c.warn), c.text);
}

}  // namespace
}  // namespace ksx4
