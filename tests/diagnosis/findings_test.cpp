// Each finding on a case that shows it and a near miss that does not, on a
// healthy segment changed in one respect. The expected codes are the whole
// list, worst first, so a near miss also proves that nothing else fires.
#include "healthy_segment.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace ksx4::diagnosis::test {
namespace {

using Change = std::function<void(Visits&)>;

struct Case {
    const char* name;
    Change change;
    QStringList expected;
    std::optional<int> device = std::nullopt;  // of the first finding
    const char* summaryHas = nullptr;          // in the first finding's summary
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

Change everywhere(std::function<void(SegmentReading&)> change) {
    return [change](Visits& v) { v.everywhere(change); };
}
Change latest(std::function<void(SegmentReading&)> change) {
    return [change](Visits& v) { change(v.latest); };
}
Change withSignals(std::initializer_list<std::pair<int, int>> addressMv, bool inAll) {
    std::vector<std::pair<int, int>> list(addressMv);
    auto set = [list](SegmentReading& r) {
        for (auto [address, mv] : list) device(r, address).signalMv = mv;
    };
    return inAll ? everywhere(set) : latest(set);
}
// Every device's signal in the latest report times factor.
Change latestSignalsTimes(double factor) {
    return latest([factor](SegmentReading& r) {
        for (DeviceReading& d : r.devices) d.signalMv = int(*d.signalMv * factor);
    });
}
// One device's signal through the history and the latest report.
Change signalSeries(int address, std::vector<int> historyMv, int latestMv) {
    return [=](Visits& v) {
        for (std::size_t i = 0; i < historyMv.size(); ++i) {
            device(v.history[i], address).signalMv = historyMv[i];
        }
        device(v.latest, address).signalMv = latestMv;
    };
}

const Case kCases[] = {
    // One report, against its own limits.
    {"VoltageLow", everywhere([](auto& r) { r.voltageMv = 8999; }), {"voltage-low"}},
    {"VoltageAtTheMinimumIsOnlyAMargin",
     everywhere([](auto& r) { r.voltageMv = 9000; }),
     {"voltage-margin"}},
    {"VoltageMargin",
     everywhere([](auto& r) { r.voltageMv = 9999; }),
     {"voltage-margin"},
     {},
     "The segment voltage is 9.999 V, only 999 mV above its 9 V minimum."},
    {"VoltageOneVoltAboveIsEnough", everywhere([](auto& r) { r.voltageMv = 10000; }), {}},

    {"SignalLowOnOneDevice",
     withSignals({{24, 149}}, true),
     {"signal-low"},
     24,
     "Device 24's signal is 149 mV, below the 150 mV limit; the other devices are above it."},
    {"SignalAtTheLimitIsOnlyWeak", withSignals({{24, 150}}, true), {"signal-weak-device"}, 24},
    {"SignalLowOnFew",
     withSignals({{20, 140}, {22, 130}, {25, 145}}, true),
     {"signal-low"},
     {},
     "3 of 10 devices have a signal below the 150 mV limit (devices 20, 22 and 25; lowest 130 mV, "
     "at device 22)."},
    // Half is not few: no list of devices, the segment's causes.
    {"SignalLowOnHalf",
     withSignals({{20, 140}, {21, 140}, {22, 140}, {23, 140}, {24, 140}}, true),
     {"signal-low"},
     {},
     "5 of 10 devices have a signal below the 150 mV limit (lowest 140 mV"},
    {"SignalLowOnMost",
     withSignals({{20, 140}, {21, 140}, {22, 140}, {23, 140}, {24, 140}, {25, 140}}, true),
     {"signal-low"},
     {},
     "6 of 10 devices have a signal below"},
    {"SignalLowOnAll",
     everywhere([](auto& r) {
         for (auto& d : r.devices) d.signalMv = 120;
     }),
     {"signal-low"},
     {},
     "All 10 devices have a signal below the 150 mV limit"},
    {"SignalsAllAtTheLimit",
     everywhere([](auto& r) {
         for (auto& d : r.devices) d.signalMv = 150;
     }),
     {}},
    {"SignalLowOnlyInTheLowestSeen",
     [](Visits& v) {
         v.testerReportsLowest = false;
         v.everywhere([](auto& r) {
             r.lowestSignalMv = 120;
             r.lowestSignalAddress = 27;
         });
     },
     {"signal-low"},
     27,
     "The lowest device signal the tester saw was 120 mV (device 27)"},

    {"SignalHighOnMoreThanHalf",
     withSignals({{20, 1310}, {21, 1310}, {22, 1310}, {23, 1310}, {24, 1310}, {25, 1310}}, true),
     {"signal-high"}},
    {"SignalHighOnHalfIsNotATerminator",
     withSignals({{20, 1310}, {21, 1310}, {22, 1310}, {23, 1310}, {24, 1310}}, true),
     {}},
    {"SignalsAt1300AreNotHigh",
     withSignals({{20, 1300}, {21, 1300}, {22, 1300}, {23, 1300}, {24, 1300}, {25, 1300}}, true),
     {}},

    // The others' median is 840 mV: 60 % of it is 504 mV.
    {"SignalWeakDevice",
     withSignals({{25, 503}}, true),
     {"signal-weak-device"},
     25,
     "Device 25's signal is 503 mV, 60 % of the other devices' median of 840 mV, though above "
     "the 150 mV limit."},
    {"SignalAt60PercentOfTheMedianIsNotWeak", withSignals({{25, 504}}, true), {}},

    // The lowest signal is 800 mV: four times a peak of 200 mV.
    {"SignalNoiseMargin",
     everywhere([](auto& r) {
         r.band(NoiseBand::Fieldbus).peakMv = 201;
         r.band(NoiseBand::Fieldbus).peakLimitMv = 300;
     }),
     {"signal-noise-margin"}},
    {"SignalFourTimesTheNoiseIsEnough",
     everywhere([](auto& r) {
         r.band(NoiseBand::Fieldbus).peakMv = 200;
         r.band(NoiseBand::Fieldbus).peakLimitMv = 300;
     }),
     {}},

    {"NoiseHighLowFrequencyAverage",
     everywhere([](auto& r) { r.band(NoiseBand::Low).avgMv = 151; }),
     {"noise-high"},
     {},
     "Low-frequency noise is too high: the average 151 mV is over its 150 mV limit."},
    {"NoiseHighFieldbusPeak",
     everywhere([](auto& r) { r.band(NoiseBand::Fieldbus).peakMv = 76; }),
     {"noise-high"},
     {},
     "Fieldbus-frequency noise is too high: the peak 76 mV"},
    {"NoiseHighHighFrequencyBoth",
     everywhere([](auto& r) {
         r.band(NoiseBand::High) = {160, 170, 150, 150};
     }),
     {"noise-high"},
     {},
     "average 160 mV is over its 150 mV limit and the peak 170 mV"},
    {"NoiseAtItsLimits",
     everywhere([](auto& r) {
         r.band(NoiseBand::Low) = {150, 150, 150, 150};
         r.band(NoiseBand::High) = {150, 150, 150, 150};
     }),
     {}},

    {"ShieldShortIntermittent",
     everywhere([](auto& r) { r.shieldShortCode = 4; }),
     {"shield-short"},
     {},
     "Intermittent Short to (+)"},
    {"ShieldShortToMinus",
     everywhere([](auto& r) { r.shieldShortCode = 1; }),
     {"shield-short"},
     {},
     "Short to (-)"},
    {"ShieldShortUnknownCode",
     everywhere([](auto& r) { r.shieldShortCode = 9; }),
     {"shield-short"},
     {},
     "no name for (code 9)"},

    {"DeviceDroppedInItsEntry",
     latest([](auto& r) {
         device(r, 27).status = EntryStatus::Dropped;
         r.addDrop = AddDrop::Dropped;
         r.addDropAddress = 27;
     }),
     {"device-dropped"},
     27},
    {"DeviceDroppedInTheAddDropFieldOnly",
     latest([](auto& r) {
         r.addDrop = AddDrop::Dropped;
         r.addDropAddress = 40;
     }),
     {"device-dropped"},
     40},
    {"DeviceOfUnknownStatusHasNotDropped",
     latest([](auto& r) { device(r, 27).status = EntryStatus::Unknown; }),
     {}},
    {"DeviceAddedIsNotAlsoNew",
     latest([](auto& r) {
         device(r, 40) = {.address = 40, .signalMv = 850, .status = EntryStatus::Added};
     }),
     {"device-added"},
     40},

    {"RetransmitsHighOnOne",
     everywhere([](auto& r) { device(r, 23).retransmits = 11; }),
     {"retransmits-high"},
     23,
     "Device 23 needed 11 retransmits, over the limit of 10."},
    {"RetransmitsHighOnMany",
     everywhere([](auto& r) {
         device(r, 23).retransmits = 11;
         device(r, 21).retransmits = 30;
     }),
     {"retransmits-high"},
     {},
     "2 devices needed more retransmits than the limit of 10 (devices 21 and 23; most 30, at "
     "device 21)."},
    {"RetransmitsAtTheLimit", everywhere([](auto& r) { device(r, 23).retransmits = 10; }), {}},

    {"NoLas", everywhere([](auto& r) { r.lasAddress.reset(); }), {"no-las"}},
    {"NoLasOnAProfibusTester",
     everywhere([](auto& r) {
         r.lasAddress.reset();
         r.testerKind = TesterKind::Ksx4Pa;
     }),
     {}},

    // Against the baseline.
    {"SignalAllUp",
     latestSignalsTimes(1.5),
     {"signal-all-up"},
     {},
     "The signals of the 10 devices in both reports rose by a median of 50 % since 2026-03-01"},
    {"SignalAllUpJustUnder", latestSignalsTimes(1.49), {}},
    {"SignalAllDown",
     latestSignalsTimes(0.75),
     {"signal-all-down"},
     {},
     "fell by a median of 25 % since 2026-03-01; 10 of 10 fell by 15 % or more."},
    {"SignalAllDownJustUnder", latestSignalsTimes(0.76), {}},
    {"SignalMedianDownButTooFewFell",
     latest([](auto& r) {
         for (auto& d : r.devices) d.signalMv = int(*d.signalMv * (d.address < 27 ? 0.7 : 0.9));
     }),
     {}},

    {"SignalDeviceDown",
     withSignals({{22, 540}}, false),
     {"signal-device-down"},
     22,
     "Device 22's signal fell from 820 mV to 540 mV (\u221234 %) since 2026-03-01; the other "
     "devices changed less than 1 %."},
    {"SignalDeviceDownByAQuarter", withSignals({{20, 600}}, false), {"signal-device-down"}, 20},
    {"SignalDeviceDownJustUnderAQuarter", withSignals({{20, 601}}, false), {}},
    {"SignalDeviceDownWhileTheOthersMovedLittle",
     [](Visits& v) {
         latestSignalsTimes(0.92)(v);
         device(v.latest, 22).signalMv = 540;
     },
     {"signal-device-down"},
     22,
     "the other devices changed less than 9 %"},
    {"SignalDeviceDownWhileTheOthersMovedToo",
     [](Visits& v) {
         latestSignalsTimes(0.89)(v);
         device(v.latest, 22).signalMv = 540;
     },
     {}},

    // Falls at each of the last three reports, 24 % in all; 22 % since the
    // baseline, too little for signal-device-down.
    {"SignalFalling",
     signalSeries(23, {830, 850, 740, 690}, 646),
     {"signal-falling"},
     23,
     "Device 23's signal fell at each of its last 3 reports, from 850 mV to 646 mV (\u221224 %) "
     "since 2026-05-01; at this rate it reaches 150 mV about 20"},
    {"SignalFallingTwiceIsNotATrend", signalSeries(23, {830, 820, 850, 760}, 637), {}},
    {"SignalFallingByTooLittle", signalSeries(23, {790, 800, 760, 720}, 641), {}},
    {"SignalFallingByAFifth", signalSeries(23, {790, 800, 760, 720}, 640), {"signal-falling"}, 23},
    {"SignalFallingBelowTheLimitAlready",
     [](Visits& v) {
         v.withBaseline = false;
         signalSeries(23, {830, 600, 400, 200}, 100)(v);
     },
     {"signal-low", "signal-falling"},
     23},

    {"NoiseUp",
     [](Visits& v) {
         v.everywhere([](auto& r) { r.band(NoiseBand::Low).avgMv = 30; });
         v.latest.band(NoiseBand::Low).avgMv = 75;
     },
     {"noise-up"},
     {},
     "Low-frequency noise averages 75 mV, 2.5 times the 30 mV of 2026-03-01 (limit 150 mV)."},
    {"NoiseUpButUnderHalfItsLimit",
     [](Visits& v) {
         v.everywhere([](auto& r) { r.band(NoiseBand::Low).avgMv = 30; });
         v.latest.band(NoiseBand::Low).avgMv = 74;
     },
     {}},
    {"NoiseUpButNotTwice",
     [](Visits& v) {
         v.everywhere([](auto& r) { r.band(NoiseBand::Low).avgMv = 40; });
         v.latest.band(NoiseBand::Low).avgMv = 79;
     },
     {}},

    {"VoltageDown",
     latest([](auto& r) { r.voltageMv = 23000; }),
     {"voltage-down"},
     {},
     "The segment voltage fell from 24 V to 23 V (\u22121 V) since 2026-03-01."},
    {"VoltageDownByLessThanAVolt", latest([](auto& r) { r.voltageMv = 23001; }), {}},

    {"DeviceMissing",
     [](Visits& v) { v.baseline().devices.push_back({.address = 40, .signalMv = 850}); },
     {"device-missing"},
     40},
    {"DeviceMissingButSeenDropping",
     [](Visits& v) {
         v.baseline().devices.push_back({.address = 40, .signalMv = 850});
         v.latest.devices.push_back({.address = 40, .signalMv = 0, .status = EntryStatus::Dropped});
     },
     {"device-dropped"},
     40},
    {"DeviceNew",
     latest([](auto& r) { r.devices.push_back({.address = 40, .signalMv = 850}); }),
     {"device-new"},
     40,
     "Device 40 is new since 2026-03-01."},

    {"RetransmitsUp",
     [](Visits& v) {
         device(v.baseline(), 24).retransmits = 0;
         device(v.latest, 24).retransmits = 5;
     },
     {"retransmits-up"},
     24,
     "Device 24's retransmits rose from 0 to 5 since 2026-03-01."},
    {"RetransmitsUpByFour",
     [](Visits& v) {
         device(v.baseline(), 24).retransmits = 0;
         device(v.latest, 24).retransmits = 4;
     },
     {}},
};

class FindingCase : public ::testing::TestWithParam<Case> {};

TEST_P(FindingCase, GivesExactlyItsFindings) {
    const Case& c = GetParam();
    Visits visits;
    c.change(visits);
    const std::vector<Finding> findings = visits.diagnose();
    ASSERT_EQ(codes(findings), c.expected) << codes(findings).join(u' ').toStdString();
    if (findings.empty()) return;
    const Finding& first = findings.front();
    EXPECT_EQ(first.device, c.device);
    if (c.summaryHas != nullptr) {
        EXPECT_TRUE(first.summary.contains(QString::fromUtf8(c.summaryHas)))
            << first.summary.toStdString();
    }
    for (const Finding& f : findings) {
        EXPECT_FALSE(f.summary.isEmpty() || f.headline.isEmpty() || f.causes.isEmpty() ||
                     f.check.isEmpty())
            << f.code.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, FindingCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ksx4::diagnosis::test

namespace ksx4::diagnosis::test {
namespace {

// A device losing 0.7 mV a day from 800 mV on 2026-01-01 reaches 150 mV
// 928.6 days later, in July 2028; the line's numbers are kept for a chart.
TEST(SignalFalling, ProjectsWhereAStraightLineThroughTheFallingReportsReachesTheLimit) {
    Visits visits;
    visits.withBaseline = false;
    visits.history = {healthyReading(1, QStringLiteral("2026-01-01T00:00:00")),
                      healthyReading(2, QStringLiteral("2026-04-11T00:00:00")),
                      healthyReading(3, QStringLiteral("2026-07-20T00:00:00"))};
    visits.latest = healthyReading(4, QStringLiteral("2026-10-28T00:00:00"));
    device(visits.history[0], 23).signalMv = 800;
    device(visits.history[1], 23).signalMv = 730;
    device(visits.history[2], 23).signalMv = 660;
    device(visits.latest, 23).signalMv = 590;
    const auto findings = visits.diagnose();
    ASSERT_EQ(codes(findings), QStringList{"signal-falling"});
    const Finding& f = findings.front();
    EXPECT_TRUE(f.summary.endsWith(QStringLiteral("at this rate it reaches 150 mV about 2028-07.")))
        << f.summary.toStdString();
    EXPECT_NEAR(*f.value(QStringLiteral("slope_mv_per_day")), -0.7, 1e-9);
    const double start =
        double(QDateTime(QDate(2026, 1, 1), QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch());
    EXPECT_NEAR(*f.value(QStringLiteral("projected_ms")), start + 650.0 / 0.7 * 86'400'000.0,
                1000.0);
    EXPECT_EQ(f.value(QStringLiteral("falls")), 3);
    EXPECT_EQ(f.value(QStringLiteral("from_mv")), 800);
    EXPECT_EQ(f.value(QStringLiteral("signal_mv")), 590);

    // The latest report passed among the earlier ones too changes nothing.
    visits.history.push_back(visits.latest);
    EXPECT_EQ(codes(visits.diagnose()), QStringList{"signal-falling"});
}

TEST(SignalFalling, WithTimesThatCannotBeReadItSaysNoDate) {
    Visits visits;
    visits.withBaseline = false;
    for (SegmentReading& r : visits.history) r.time = QStringLiteral("not a time");
    signalSeries(23, {900, 850, 800, 750}, 700)(visits);
    const auto findings = visits.diagnose();
    ASSERT_EQ(codes(findings), QStringList{"signal-falling"});
    EXPECT_FALSE(findings.front().summary.contains(QStringLiteral("at this rate")));
    EXPECT_FALSE(findings.front().value(QStringLiteral("projected_ms")));
}

// Archive contents are untrusted: a report that holds nothing judged, or
// the latest report chosen as its own baseline, gives what can be said.
TEST(Diagnose, AReportWithoutValuesOrLimitsGivesNothingItCannotState) {
    SegmentReading empty;
    empty.testerKind = TesterKind::Ksx4Pa;
    empty.devices = {{.address = 3}, {.address = 4, .status = EntryStatus::Unknown}};
    EXPECT_TRUE(diagnose(empty, &empty, {}).empty());
    SegmentReading other = empty;
    other.reportId = 9;
    other.time = QStringLiteral("garbage");
    EXPECT_TRUE(diagnose(other, &empty, std::span<const SegmentReading>(&empty, 1)).empty());
}

TEST(Diagnose, TheLatestReportAsItsOwnBaselineComparesNothing) {
    Visits visits;
    SegmentReading latest = visits.latest;
    latest.voltageMv = 20000;
    latest.reportId = visits.baseline().reportId;
    EXPECT_TRUE(diagnose(latest, &latest, {}).empty());
    latest.reportId = 77;
    EXPECT_EQ(codes(diagnose(latest, &visits.baseline(), {})), QStringList{"voltage-down"});
}

}  // namespace
}  // namespace ksx4::diagnosis::test
