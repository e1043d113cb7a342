// The segment computation and the operator's typed numbers: the worked
// example, the "too large" limits, and halves rounded to the even neighbour.
#include "engineering/noise_segments.h"
#include "engineering/typed_number.h"

#include <gtest/gtest.h>

#include <optional>

namespace ksx4::noise {
namespace {

TEST(NoiseSegmentsTest, WorkedExampleGivesTheFourSegments) {
    const SegmentsResult result = computeSegments({100, 150, 200, 300, 400}, kLowBand);
    ASSERT_FALSE(result.tooLarge);
    using Row = std::array<double, 4>;
    EXPECT_EQ(result.segments.slope, (Row{30, 40, 460, 500}));
    EXPECT_EQ(result.segments.offset, (Row{25, 40, 880, 1000}));
    EXPECT_EQ(result.segments.rangeEnd, (Row{150, 200, 300, 1024}));
}

struct TooLargeCase {
    std::array<double, kSteps> readings;
    const Band* band;
    const char* expected;
};

TEST(NoiseSegmentsTest, ReportsTheFirstValueTooLarge) {
    const TooLargeCase cases[] = {
        // A gap of 1 between steps 3 and 4: slope 50000.
        {{100, 150, 200, 300, 301}, &kLowBand, "slopeLF(3)"},
        {{100, 150, 200, 300, 301}, &kHighBand, "slopeHF(3)"},
        // Slope 1500, offset 15 * 668 - 20 = 10000: the first offset refused.
        {{667, 668, 700, 800, 900}, &kFieldbusBand, "offsetFF(0)"},
    };
    for (const TooLargeCase& c : cases) {
        const SegmentsResult result = computeSegments(c.readings, *c.band);
        EXPECT_EQ(result.tooLarge.value_or("none"), c.expected);
    }
    // Just inside both limits.
    EXPECT_FALSE(computeSegments({666, 667, 700, 800, 900}, kLowBand).tooLarge);
}

TEST(NoiseSegmentsTest, HalvesGoToTheEvenNeighbour) {
    // 15 / 24 * 100 = 62.5.
    EXPECT_EQ(computeSegments({100, 124, 200, 300, 400}, kLowBand).segments.slope[0], 62);
    // Slope 50; offsets 0.5 * 45 - 20 = 2.5 and 0.5 * 85 - 40 = 2.5.
    const SegmentsResult result = computeSegments({15, 45, 85, 300, 400}, kLowBand);
    EXPECT_EQ(result.segments.slope[0], 50);
    EXPECT_EQ(result.segments.offset[0], 2);
    EXPECT_EQ(result.segments.offset[1], 2);
}

TEST(TypedNumberTest, TakesTheNumberAtTheStartRounded) {
    const std::pair<std::optional<QString>, double> cases[] = {
        {"150", 150}, {" 150.5xyz", 150}, {"151.5", 152}, {"12abc", 12},
        {"-3.7", -4}, {"1e3", 1000},      {"2.5e1x", 25}, {"+7", 7},
        {".5", 0},    {"5.", 5},          {"abc", 0},     {"", 0},
        {"-", 0},     {"1e999", 0},       {"e5", 0},      {std::nullopt, 0},
    };
    for (const auto& [typed, expected] : cases) {
        EXPECT_EQ(typedNumber(typed), expected) << typed.value_or("(cancelled)").toStdString();
    }
    EXPECT_EQ(wholeNumberText(typedNumber("-0.4")), "0");
}

}  // namespace
}  // namespace ksx4::noise
