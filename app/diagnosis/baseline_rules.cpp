// The rules that compare the latest report with the segment's baseline,
// devices matched by address.
#include "diagnosis/devices.h"
#include "diagnosis/noise_bands.h"
#include "diagnosis/rules.h"
#include "diagnosis/thresholds.h"
#include "diagnosis/wording.h"

#include <algorithm>
#include <cmath>

namespace ksx4::diagnosis::rules {
namespace {

using namespace wording;
constexpr const Thresholds& t = kThresholds;

struct Ratio {
    const DeviceReading* now;
    const DeviceReading* then;
    double ratio;
    // Worked out from the two whole numbers, so that a fall of exactly a
    // threshold's share counts as reaching it.
    double fall() const { return double(*then->signalMv - *now->signalMv) / *then->signalMv; }
};

// The live devices both reports hold, by address.
std::vector<Ratio> signalRatios(const SegmentReading& latest, const SegmentReading& baseline) {
    std::vector<Ratio> ratios;
    for (const DeviceReading* now : liveDevices(latest)) {
        const DeviceReading* then = deviceAt(baseline, now->address);
        if (then == nullptr || !isLive(*then) || *then->signalMv <= 0) continue;
        ratios.push_back({now, then, double(*now->signalMv) / *then->signalMv});
    }
    return ratios;
}

// "less than 5 %": the smallest whole per cent above the change.
QString lessThan(double change) {
    return QStringLiteral("less than %1 %").arg(int(std::floor(std::abs(change) * 100.0)) + 1);
}

void deviceDown(const std::vector<Ratio>& ratios, const QString& since, Findings& out) {
    for (const Ratio& r : ratios) {
        if (r.fall() < t.deviceDownFall) continue;
        std::vector<double> others;
        double widest = 0.0;
        for (const Ratio& o : ratios) {
            if (&o == &r) continue;
            others.push_back(o.ratio);
            widest = std::max(widest, std::abs(o.ratio - 1.0));
        }
        if (static_cast<int>(others.size()) < t.medianPeersMin) continue;
        const double othersMedian = median(std::move(others));
        if (std::abs(othersMedian - 1.0) >= t.deviceDownPeersMoved) continue;
        const QString othersText =
            widest < t.deviceDownPeersMoved
                ? QStringLiteral("the other devices changed ") + lessThan(widest)
                : QStringLiteral("the other devices' median changed ") +
                      lessThan(othersMedian - 1.0);
        const int address = r.now->address;
        out.push_back({
            .code = code::kSignalDeviceDown,
            .severity = Severity::Warning,
            .device = address,
            .summary = QStringLiteral("Device %1's signal fell from %2 to %3 (%4) since %5; %6.")
                           .arg(address)
                           .arg(millivolts(*r.then->signalMv), millivolts(*r.now->signalMv),
                                percentChange(r.ratio), since, othersText),
            .headline = QStringLiteral("device %1's signal down %2 since %3")
                            .arg(address)
                            .arg(percent(1.0 - r.ratio), since),
            .causes = {QStringLiteral("its spur or connection (water, corrosion)"),
                       QStringLiteral("the device's transmitter")},
            .check = QStringLiteral("Open the device's connector and its junction box and look "
                                    "for water and corrosion; measure the spur."),
            .values = {{QStringLiteral("baseline_mv"), *r.then->signalMv},
                       {QStringLiteral("signal_mv"), *r.now->signalMv},
                       {QStringLiteral("change_percent"), std::round((r.ratio - 1.0) * 100.0)},
                       {QStringLiteral("others_median_change_percent"),
                        std::round((othersMedian - 1.0) * 100.0)}},
        });
    }
}

QString deviceText(int address) {
    return QStringLiteral("Device ") + QString::number(address);
}

bool markedAdded(const SegmentReading& r, const DeviceReading& d) {
    return d.status == EntryStatus::Added ||
           (r.addDrop == AddDrop::Added && r.addDropAddress == d.address);
}

}  // namespace

void signalsSinceBaseline(const SegmentReading& latest, const SegmentReading& baseline,
                          Findings& out) {
    const std::vector<Ratio> ratios = signalRatios(latest, baseline);
    if (ratios.empty()) return;
    std::vector<double> values;
    for (const Ratio& r : ratios) values.push_back(r.ratio);
    const double med = median(values);
    const int all = static_cast<int>(ratios.size());
    const QString since = date(baseline.time);
    const QString both =
        all == 1 ? QStringLiteral("The signal of the one device in both reports")
                 : QStringLiteral("The signals of the %1 devices in both reports").arg(all);
    if (med >= t.allUpRatio) {
        out.push_back({
            .code = code::kSignalAllUp,
            .severity = Severity::Warning,
            .summary = QStringLiteral("%1 rose by a median of %2 since %3: the segment has likely "
                                      "lost a terminator.")
                           .arg(both, percent(med - 1.0), since),
            .headline = QStringLiteral("signals up %1 since %2").arg(percent(med - 1.0), since),
            .causes = {QStringLiteral("a terminator removed or failed")},
            .check = QStringLiteral("Check there are two terminators, one at each end of the "
                                    "trunk, and that both are connected."),
            .values = {{QStringLiteral("median_change_percent"), std::round((med - 1.0) * 100.0)},
                       {QStringLiteral("device_count"), all}},
        });
    }
    int fell = 0;
    for (const Ratio& r : ratios) {
        if (r.fall() >= t.allDownDeviceFall) ++fell;
    }
    if (med <= t.allDownRatio && fell >= t.allDownDeviceShare * all) {
        out.push_back({
            .code = code::kSignalAllDown,
            .severity = Severity::Warning,
            .summary = QStringLiteral("%1 fell by a median of %2 since %3; %4 of %5 fell by %6 or "
                                      "more.")
                           .arg(both, percent(1.0 - med), since)
                           .arg(fell)
                           .arg(all)
                           .arg(percent(t.allDownDeviceFall)),
            .headline = QStringLiteral("signals down %1 since %2").arg(percent(1.0 - med), since),
            .causes = {QStringLiteral("a terminator added (for example a coupler's or junction "
                                      "box's own switched on)"),
                       QStringLiteral("the power conditioner")},
            .check = QStringLiteral("Count the terminators (exactly two, one at each end of the "
                                    "trunk); check the power conditioner."),
            .values = {{QStringLiteral("median_change_percent"), std::round((med - 1.0) * 100.0)},
                       {QStringLiteral("fallen_count"), fell},
                       {QStringLiteral("device_count"), all}},
        });
    }
    deviceDown(ratios, since, out);
}

void changesSinceBaseline(const SegmentReading& latest, const SegmentReading& baseline,
                          Findings& out) {
    const QString since = date(baseline.time);
    for (NoiseBand band : kBands) {
        const NoiseReading& now = latest.band(band);
        const NoiseReading& then = baseline.band(band);
        if (!now.avgMv || !then.avgMv || !now.avgLimitMv) continue;
        const int avg = *now.avgMv;
        const int before = *then.avgMv;
        if (avg < t.noiseUpFactor * before || avg < t.noiseUpLimitShare * *now.avgLimitMv) {
            continue;
        }
        const QString rise =
            before > 0 ? QStringLiteral("%1 the %2 of %3")
                             .arg(times(double(avg) / before), millivolts(before), since)
                       : QStringLiteral("up from %1 on %2").arg(millivolts(before), since);
        Finding f{
            .code = code::kNoiseUp,
            .severity = Severity::Warning,
            .summary = QStringLiteral("%1 noise averages %2, %3 (limit %4).")
                           .arg(bandName(band), millivolts(avg), rise, millivolts(*now.avgLimitMv)),
            .headline = QStringLiteral("%1 noise up to %2 since %3")
                            .arg(bandName(band).toLower(), millivolts(avg), since),
            .causes = bandCauses(band),
            .check = bandCheck(band),
            .values = {{QStringLiteral("avg_mv"), avg},
                       {QStringLiteral("baseline_avg_mv"), before},
                       {QStringLiteral("limit_mv"), *now.avgLimitMv}},
        };
        if (before > 0) f.values << std::pair{QStringLiteral("factor"), double(avg) / before};
        out.push_back(std::move(f));
    }

    if (latest.voltageMv && baseline.voltageMv &&
        *baseline.voltageMv - *latest.voltageMv >= t.voltageDownMv) {
        const int drop = *baseline.voltageMv - *latest.voltageMv;
        out.push_back({
            .code = code::kVoltageDown,
            .severity = Severity::Warning,
            .summary =
                QStringLiteral("The segment voltage fell from %1 to %2 (\u2212%3) since %4.")
                    .arg(volts(*baseline.voltageMv), volts(*latest.voltageMv), volts(drop), since),
            .headline = QStringLiteral("voltage down %1 since %2").arg(volts(drop), since),
            .causes = {QStringLiteral("the power conditioner or its supply ageing"),
                       QStringLiteral("more devices drawing current"),
                       QStringLiteral("a connection whose resistance rose (corrosion)")},
            .check = QStringLiteral("Measure the power conditioner's output and the voltage at "
                                    "the far end of the trunk; look at the connections between."),
            .values = {{QStringLiteral("baseline_mv"), *baseline.voltageMv},
                       {QStringLiteral("voltage_mv"), *latest.voltageMv},
                       {QStringLiteral("drop_mv"), drop}},
        });
    }

    for (const DeviceReading* then : liveDevices(baseline)) {
        if (deviceAt(latest, then->address) != nullptr) continue;
        out.push_back({
            .code = code::kDeviceMissing,
            .severity = Severity::Warning,
            .device = then->address,
            .summary = QStringLiteral("%1, in the report of %2, is not in this report.")
                           .arg(deviceText(then->address), since),
            .headline = QStringLiteral("device %1 missing since %2").arg(then->address).arg(since),
            .causes = {QStringLiteral("its spur or connector open"),
                       QStringLiteral("the device failed or lost power"),
                       QStringLiteral("the device removed on purpose")},
            .check = QStringLiteral("Check the device's spur, connector and power; if it was "
                                    "removed on purpose, choose a new baseline."),
        });
    }
    for (const DeviceReading* now : liveDevices(latest)) {
        if (deviceAt(baseline, now->address) != nullptr || markedAdded(latest, *now)) continue;
        out.push_back({
            .code = code::kDeviceNew,
            .severity = Severity::Note,
            .device = now->address,
            .summary = QStringLiteral("%1 is new since %2.").arg(deviceText(now->address), since),
            .headline = QStringLiteral("device %1 new since %2").arg(now->address).arg(since),
            .causes = {QStringLiteral("a device added to the segment")},
            .check = QStringLiteral("If it is meant to be there, choose a new baseline once the "
                                    "segment is commissioned again."),
        });
    }

    for (const DeviceReading* now : entriesByAddress(latest)) {
        const DeviceReading* then = deviceAt(baseline, now->address);
        if (then == nullptr || !now->retransmits || !then->retransmits) continue;
        const int rise = *now->retransmits - *then->retransmits;
        if (rise < t.retransmitsUp) continue;
        out.push_back({
            .code = code::kRetransmitsUp,
            .severity = Severity::Warning,
            .device = now->address,
            .summary = QStringLiteral("%1's retransmits rose from %2 to %3 since %4.")
                           .arg(deviceText(now->address))
                           .arg(*then->retransmits)
                           .arg(*now->retransmits)
                           .arg(since),
            .headline = QStringLiteral("device %1's retransmits up from %2 to %3")
                            .arg(now->address)
                            .arg(*then->retransmits)
                            .arg(*now->retransmits),
            .causes = {QStringLiteral("its spur or connector"),
                       QStringLiteral("noise reaching that device"),
                       QStringLiteral("the device's transmitter or receiver")},
            .check = QStringLiteral("Check the device's spur and connector and the noise "
                                    "readings."),
            .values = {{QStringLiteral("baseline_retransmits"), *then->retransmits},
                       {QStringLiteral("retransmits"), *now->retransmits},
                       {QStringLiteral("rise"), rise}},
        });
    }
}

}  // namespace ksx4::diagnosis::rules
