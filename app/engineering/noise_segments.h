#pragma once
// A band's calibration from the operator's five readings: four straight-line
// segments through (reading(i), target(i)) and (reading(i+1), target(i+1)),
// so that a raw reading x in segment i maps to x * slope / 100 - offset.
// Computed in double precision, each value rounded to a whole number with
// halves going to the even neighbour.
#include "engineering/noise_signals.h"

#include <QString>

#include <array>
#include <optional>

namespace ksx4::noise {

// What the tester should show at steps 0..4, the same for every band.
inline constexpr std::array<double, kSteps> kTargets{5, 20, 40, 500, 1000};
inline constexpr int kSegments = 4;
inline constexpr double kLastRangeEnd = 1024;

struct BandSegments {
    std::array<double, kSegments> slope{};
    std::array<double, kSegments> offset{};
    std::array<double, kSegments> rangeEnd{};
};

struct SegmentsResult {
    BandSegments segments;
    // Set when a value is too large: "slopeLF(3)", "offsetHF(0)".
    std::optional<QString> tooLarge;
};

// readings: whole numbers, each larger than the one before.
SegmentsResult computeSegments(const std::array<double, kSteps>& readings, const Band& band);

}  // namespace ksx4::noise
