#include "engineering/noise_segments.h"

#include <cmath>

namespace ksx4::noise {
namespace {

constexpr double kLargestSlope = 9999;
constexpr double kOffsetLimit = 10000;  // offsets from here on are too large

// The default rounding mode rounds halves to the even neighbour.
double roundHalfEven(double value) {
    return std::nearbyint(value) + 0.0;
}

QString tooLargeName(const char* what, const Band& band, int segment) {
    return QLatin1String(what) + QLatin1String(band.name) + QLatin1Char('(') +
           QString::number(segment) + QLatin1Char(')');
}

}  // namespace

SegmentsResult computeSegments(const std::array<double, kSteps>& readings, const Band& band) {
    SegmentsResult result;
    BandSegments& s = result.segments;
    for (std::size_t i = 0; i < kSegments; ++i) {
        const int segment = static_cast<int>(i);
        s.slope[i] =
            roundHalfEven((kTargets[i + 1] - kTargets[i]) / (readings[i + 1] - readings[i]) * 100);
        if (s.slope[i] > kLargestSlope) {
            result.tooLarge = tooLargeName("slope", band, segment);
            return result;
        }
        s.offset[i] = roundHalfEven(s.slope[i] / 100 * readings[i + 1] - kTargets[i + 1]);
        if (s.offset[i] >= kOffsetLimit) {
            result.tooLarge = tooLargeName("offset", band, segment);
            return result;
        }
        s.rangeEnd[i] = i + 1 < kSegments ? readings[i + 1] : kLastRangeEnd;
    }
    return result;
}

}  // namespace ksx4::noise
