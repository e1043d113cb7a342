// Diagnosing one 32-device report against its baseline and the 100 reports
// before it: a healthy segment (no finding), and a segment where every rule
// has work, every device's signal falling through the whole history (the
// longest trend lines) and most codes firing.
#include "diagnosis/diagnose.h"

#include <QDateTime>
#include <QTimeZone>

#include <benchmark/benchmark.h>

namespace ksx4::diagnosis {
namespace {

constexpr int kDevices = 32;
constexpr int kEarlier = 100;

SegmentReading reading(int i, bool falling) {
    SegmentReading r;
    r.reportId = i + 1;
    r.segment = QStringLiteral("Tank 3");
    r.time = QDateTime(QDate(2024, 1, 1), QTime(9, 0), QTimeZone::utc())
                 .addDays(7 * i)
                 .toString(Qt::ISODate)
                 .left(19);
    r.voltageMv = falling ? 24000 - 50 * i : 24000 + (i % 5) * 40;
    r.voltageLimitMv = 9000;
    r.signalLimitMv = 150;
    const int noise = falling ? 10 + i : 10 + i % 3;
    r.band(NoiseBand::Fieldbus) = {noise, noise + 10, 75, 75};
    r.band(NoiseBand::Low) = {noise, noise + 10, 150, 150};
    r.band(NoiseBand::High) = {noise, noise + 10, 150, 150};
    r.shieldShortCode = falling && i == kEarlier ? 4 : 2;
    r.lasAddress = 16;
    r.retransmitLimit = 10;
    for (int d = 0; d < kDevices; ++d) {
        const int nominal = 700 + 9 * d;
        const int signal = falling ? nominal - 5 * i : nominal + ((i * 7 + d * 3) % 11) - 5;
        r.devices.push_back(
            {.address = 10 + d, .signalMv = signal, .retransmits = falling ? i / 10 : (i + d) % 3});
    }
    r.activeDevices = kDevices;
    r.lowestSignalMv = r.devices.front().signalMv;
    r.lowestSignalAddress = r.devices.front().address;
    return r;
}

void diagnoseOneReport(benchmark::State& state, bool falling) {
    std::vector<SegmentReading> history;
    for (int i = 0; i < kEarlier; ++i) history.push_back(reading(i, falling));
    const SegmentReading latest = reading(kEarlier, falling);
    std::size_t findings = 0;
    for (auto _ : state) {
        const auto result = diagnose(latest, &history.front(), history);
        findings = result.size();
        benchmark::DoNotOptimize(result.data());
    }
    state.counters["findings"] = static_cast<double>(findings);
}

void BM_DiagnoseHealthy32DevicesAgainst100Reports(benchmark::State& state) {
    diagnoseOneReport(state, false);
}
void BM_DiagnoseFaulty32DevicesAgainst100Reports(benchmark::State& state) {
    diagnoseOneReport(state, true);
}
BENCHMARK(BM_DiagnoseHealthy32DevicesAgainst100Reports)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DiagnoseFaulty32DevicesAgainst100Reports)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace ksx4::diagnosis

BENCHMARK_MAIN();
