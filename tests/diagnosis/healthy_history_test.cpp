// Healthy segments over a long history: signals wandering by up to 5 %,
// the supply by up to 2 %, noise and retransmits by what a sound segment
// shows. Every report against the baseline and all the reports before it
// must give no finding at all.
#include "healthy_segment.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

#include <cstdint>

namespace ksx4::diagnosis::test {
namespace {

// A generator of our own, so the histories are the same on every platform.
class Numbers {
  public:
    explicit Numbers(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    // Uniform in [low, high].
    int between(int low, int high) {
        return low + static_cast<int>(next() % static_cast<uint64_t>(high - low + 1));
    }
    // value changed by up to share either way.
    int wander(int value, double share) {
        const int spread = static_cast<int>(value * share);
        return value + between(-spread, spread);
    }

  private:
    uint64_t next() {  // splitmix64
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint64_t state_;
};

struct Segment {
    TesterKind kind;
    int devices;
    uint64_t seed;
};

std::vector<SegmentReading> healthyHistory(const Segment& segment, int reports) {
    Numbers numbers(segment.seed);
    std::vector<int> nominal;
    for (int d = 0; d < segment.devices; ++d) nominal.push_back(numbers.between(700, 1000));
    const int voltage = numbers.between(18000, 28000);
    QDateTime time(QDate(2025, 1, 6), QTime(8, 0), QTimeZone::utc());
    std::vector<SegmentReading> history;
    for (int i = 0; i < reports; ++i) {
        SegmentReading r = healthyReading(i + 1, time.toString(Qt::ISODate).left(19));
        r.testerKind = segment.kind;
        if (segment.kind == TesterKind::Ksx4Pa) r.lasAddress.reset();
        r.voltageMv = numbers.wander(voltage, 0.02);
        for (NoiseBand band : {NoiseBand::Fieldbus, NoiseBand::Low, NoiseBand::High}) {
            NoiseReading& n = r.band(band);
            n.avgMv = numbers.between(5, 30);
            n.peakMv = *n.avgMv + numbers.between(5, 15);
        }
        r.devices.clear();
        for (int d = 0; d < segment.devices; ++d) {
            r.devices.push_back(
                {.address = 10 + d,
                 .signalMv = numbers.wander(nominal[static_cast<std::size_t>(d)], 0.05),
                 .retransmits = numbers.between(0, 3)});
        }
        r.activeDevices = segment.devices;
        reportLowest(r);
        history.push_back(r);
        time = time.addSecs(numbers.between(2 * 86400, 6 * 86400));
    }
    return history;
}

QString described(const std::vector<Finding>& findings) {
    QStringList lines;
    for (const Finding& f : findings) lines << f.code + QStringLiteral(": ") + f.summary;
    return lines.join(u'\n');
}

void PrintTo(const Segment& s, std::ostream* os) {
    *os << (s.kind == TesterKind::Ksx4 ? "KSX-4, " : "KSX-4-PA, ") << s.devices << " devices, seed "
        << s.seed;
}

class HealthySegment : public ::testing::TestWithParam<Segment> {};

TEST_P(HealthySegment, NoReportOfItsHistoryGivesAnyFinding) {
    const std::vector<SegmentReading> history = healthyHistory(GetParam(), 120);
    const std::span<const SegmentReading> all(history);
    for (std::size_t i = 0; i < history.size(); ++i) {
        const auto findings = diagnose(history[i], &history.front(), all.first(i));
        ASSERT_TRUE(findings.empty()) << "report " << i + 1 << ":\n"
                                      << described(findings).toStdString();
    }
}

TEST_P(HealthySegment, NorAgainstABaselineChosenLater) {
    const std::vector<SegmentReading> history = healthyHistory(GetParam(), 60);
    const std::span<const SegmentReading> all(history);
    const SegmentReading& chosen = history[30];
    for (std::size_t i = 31; i < history.size(); ++i) {
        const auto findings = diagnose(history[i], &chosen, all.first(i));
        ASSERT_TRUE(findings.empty()) << "report " << i + 1 << ":\n"
                                      << described(findings).toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Segments, HealthySegment,
    ::testing::Values(Segment{TesterKind::Ksx4, 32, 1}, Segment{TesterKind::Ksx4, 32, 2},
                      Segment{TesterKind::Ksx4, 12, 3}, Segment{TesterKind::Ksx4, 3, 4},
                      Segment{TesterKind::Ksx4, 1, 5}, Segment{TesterKind::Ksx4Pa, 32, 6},
                      Segment{TesterKind::Ksx4Pa, 8, 7}, Segment{TesterKind::Ksx4, 0, 8}),
    [](const auto& info) {
        return std::string(info.param.kind == TesterKind::Ksx4 ? "Ksx4_" : "Ksx4Pa_") +
               std::to_string(info.param.devices) + "Devices_Seed" +
               std::to_string(info.param.seed);
    });

}  // namespace
}  // namespace ksx4::diagnosis::test
