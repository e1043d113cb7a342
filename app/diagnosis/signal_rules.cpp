// The rules over one report's device signals.
#include "diagnosis/devices.h"
#include "diagnosis/rules.h"
#include "diagnosis/thresholds.h"
#include "diagnosis/wording.h"

#include <algorithm>

namespace ksx4::diagnosis::rules {
namespace {

using namespace wording;
constexpr const Thresholds& t = kThresholds;

const QStringList& oneDeviceCauses() {
    static const QStringList causes{
        QStringLiteral("its spur cable or connector (water, corrosion, a loose wire)"),
        QStringLiteral("the device's transmitter"),
        QStringLiteral("a spur too long for the segment")};
    return causes;
}
const QString& oneDeviceCheck() {
    static const QString check = QStringLiteral(
        "Check the device's spur, its connector and terminal screws; if they are sound, swap in a "
        "known good device.");
    return check;
}

void signalLow(const SegmentReading& r, const std::vector<const DeviceReading*>& live,
               Findings& out) {
    if (!r.signalLimitMv) return;
    const int limit = *r.signalLimitMv;
    std::vector<const DeviceReading*> below;
    for (const DeviceReading* d : live) {
        if (*d->signalMv < limit) below.push_back(d);
    }
    const int n = static_cast<int>(below.size());
    const int all = static_cast<int>(live.size());
    if (n == 0) {
        // No device row is low, yet the lowest signal the tester saw is.
        if (!r.lowestSignalMv || *r.lowestSignalMv >= limit) return;
        const int lowest = *r.lowestSignalMv;
        const QString where = r.lowestSignalAddress
                                  ? QStringLiteral(" (device %1)").arg(*r.lowestSignalAddress)
                                  : QString();
        out.push_back({
            .code = code::kSignalLow,
            .severity = Severity::Alarm,
            .device = r.lowestSignalAddress,
            .summary = QStringLiteral("The lowest device signal the tester saw was %1%2, below "
                                      "the %3 limit.")
                           .arg(millivolts(lowest), where, millivolts(limit)),
            .headline = QStringLiteral("lowest signal %1, below the %2 limit")
                            .arg(millivolts(lowest), millivolts(limit)),
            .causes = oneDeviceCauses(),
            .check = oneDeviceCheck(),
            .values = {{QStringLiteral("signal_mv"), lowest}, {QStringLiteral("limit_mv"), limit}},
        });
        return;
    }
    const DeviceReading* lowest = *std::min_element(
        below.begin(), below.end(),
        [](const DeviceReading* a, const DeviceReading* b) { return *a->signalMv < *b->signalMv; });
    if (n == 1) {
        out.push_back({
            .code = code::kSignalLow,
            .severity = Severity::Alarm,
            .device = lowest->address,
            .summary =
                all > 1 ? QStringLiteral("Device %1's signal is %2, below the %3 limit; the other "
                                         "devices are above it.")
                              .arg(lowest->address)
                              .arg(millivolts(*lowest->signalMv), millivolts(limit))
                        : QStringLiteral("Device %1's signal is %2, below the %3 limit.")
                              .arg(lowest->address)
                              .arg(millivolts(*lowest->signalMv), millivolts(limit)),
            .headline = QStringLiteral("device %1's signal %2, below the %3 limit")
                            .arg(lowest->address)
                            .arg(millivolts(*lowest->signalMv), millivolts(limit)),
            .causes = oneDeviceCauses(),
            .check = oneDeviceCheck(),
            .values = {{QStringLiteral("signal_mv"), *lowest->signalMv},
                       {QStringLiteral("limit_mv"), limit}},
        });
        return;
    }
    const bool few = n < t.fewDevicesShare * all;
    QList<int> addressesBelow;
    for (const DeviceReading* d : below) addressesBelow << d->address;
    QString pattern;
    QStringList causes;
    QString check;
    if (few) {
        pattern = QStringLiteral("%1 of %2 devices have").arg(n).arg(all);
        causes = {QStringLiteral("the spurs of those devices, or a junction box they share"),
                  QStringLiteral("their connectors"),
                  QStringLiteral("a branch of the trunk they share")};
        check = QStringLiteral(
            "Check the junction box or trunk branch those devices share, "
            "then each one's spur and connector.");
    } else {
        pattern = n == all ? QStringLiteral("All %1 devices have").arg(all)
                           : QStringLiteral("%1 of %2 devices have").arg(n).arg(all);
        causes = {QStringLiteral("the segment's terminators (one too many, for example a "
                                 "coupler's own switched on, or a wrong one)"),
                  QStringLiteral("the power conditioner"),
                  QStringLiteral("the trunk cable or a main junction box")};
        check = QStringLiteral(
            "Count the terminators (exactly two, one at each end of the "
            "trunk); check the power conditioner and the trunk.");
    }
    const QString which =
        few ? QStringLiteral("devices %1; ").arg(addresses(addressesBelow)) : QString();
    out.push_back({
        .code = code::kSignalLow,
        .severity = Severity::Alarm,
        .summary = QStringLiteral("%1 a signal below the %2 limit (%3lowest %4, at device %5).")
                       .arg(pattern, millivolts(limit), which, millivolts(*lowest->signalMv))
                       .arg(lowest->address),
        .headline = QStringLiteral("%1 of %2 devices' signals below the %3 limit")
                        .arg(n)
                        .arg(all)
                        .arg(millivolts(limit)),
        .causes = causes,
        .check = check,
        .values = {{QStringLiteral("below_count"), n},
                   {QStringLiteral("device_count"), all},
                   {QStringLiteral("limit_mv"), limit},
                   {QStringLiteral("lowest_mv"), *lowest->signalMv}},
    });
}

void signalHigh(const std::vector<const DeviceReading*>& live, Findings& out) {
    int high = 0;
    int highest = 0;
    for (const DeviceReading* d : live) {
        if (*d->signalMv > t.signalHighMv) ++high;
        highest = std::max(highest, *d->signalMv);
    }
    const int all = static_cast<int>(live.size());
    if (all == 0 || high <= t.signalHighShare * all) return;
    out.push_back({
        .code = code::kSignalHigh,
        .severity = Severity::Warning,
        .summary = QStringLiteral("%1 of %2 devices have a signal above %3 (highest %4): the "
                                  "segment has likely lost a terminator.")
                       .arg(high)
                       .arg(all)
                       .arg(millivolts(t.signalHighMv), millivolts(highest)),
        .headline = QStringLiteral("signals high (%1 of %2 devices over %3): a terminator missing?")
                        .arg(high)
                        .arg(all)
                        .arg(millivolts(t.signalHighMv)),
        .causes = {QStringLiteral("a terminator missing or failed (two give about 750\u20131000 "
                                  "mV; losing one nearly doubles the signal)"),
                   QStringLiteral("a terminator disconnected while the segment was extended")},
        .check = QStringLiteral("Check there are two terminators, one at each end of the trunk, "
                                "and that both are connected."),
        .values = {{QStringLiteral("high_count"), high},
                   {QStringLiteral("device_count"), all},
                   {QStringLiteral("threshold_mv"), t.signalHighMv},
                   {QStringLiteral("highest_mv"), highest}},
    });
}

void weakDevices(const SegmentReading& r, const std::vector<const DeviceReading*>& live,
                 Findings& out) {
    if (static_cast<int>(live.size()) < t.medianPeersMin + 1) return;
    for (const DeviceReading* d : live) {
        const int signal = *d->signalMv;
        if (r.signalLimitMv && signal < *r.signalLimitMv) continue;  // signal-low says it
        std::vector<double> others;
        for (const DeviceReading* o : live) {
            if (o != d) others.push_back(*o->signalMv);
        }
        const double med = median(std::move(others));
        if (med <= 0 || signal >= t.weakDeviceRatio * med) continue;
        const QString above =
            r.signalLimitMv
                ? QStringLiteral(", though above the %1 limit").arg(millivolts(*r.signalLimitMv))
                : QString();
        Finding f{
            .code = code::kSignalWeakDevice,
            .severity = Severity::Warning,
            .device = d->address,
            .summary = QStringLiteral("Device %1's signal is %2, %3 of the other devices' median "
                                      "of %4%5.")
                           .arg(d->address)
                           .arg(millivolts(signal), percent(signal / med), millivolts(med), above),
            .headline = QStringLiteral("device %1's signal %2 of the others'")
                            .arg(d->address)
                            .arg(percent(signal / med)),
            .causes = oneDeviceCauses(),
            .check = QStringLiteral("Check the device's spur and connector before its signal "
                                    "falls below the limit."),
            .values = {{QStringLiteral("signal_mv"), signal},
                       {QStringLiteral("median_mv"), med},
                       {QStringLiteral("ratio_percent"), std::round(100.0 * signal / med)}},
        };
        if (r.signalLimitMv) f.values << std::pair{QStringLiteral("limit_mv"), *r.signalLimitMv};
        out.push_back(std::move(f));
    }
}

void noiseMargin(const SegmentReading& r, const std::vector<const DeviceReading*>& live,
                 Findings& out) {
    std::optional<int> lowest = r.lowestSignalMv;
    if (!lowest) {
        for (const DeviceReading* d : live)
            lowest = std::min(lowest.value_or(*d->signalMv), *d->signalMv);
    }
    const std::optional<int> peak = r.band(NoiseBand::Fieldbus).peakMv;
    if (!lowest || !peak || *peak <= 0) return;
    if (*lowest >= t.noiseMarginFactor * *peak) return;
    const double ratio = double(*lowest) / *peak;
    out.push_back({
        .code = code::kSignalNoiseMargin,
        .severity = Severity::Warning,
        .summary = QStringLiteral("The lowest device signal, %1, is only %2 the peak "
                                  "fieldbus-frequency noise of %3; receivers need %4 times.")
                       .arg(millivolts(*lowest), times(ratio), millivolts(*peak))
                       .arg(t.noiseMarginFactor),
        .headline = QStringLiteral("lowest signal only %1 the fieldbus noise").arg(times(ratio)),
        .causes = {QStringLiteral("fieldbus-frequency noise: a device transmitting badly or an "
                                  "unbalanced segment"),
                   QStringLiteral("weak signals: a terminator too many, a long trunk or a "
                                  "failing power conditioner")},
        .check = QStringLiteral("Find the noise's source first (disconnect devices one at a "
                                "time), then check the terminators."),
        .values = {{QStringLiteral("lowest_mv"), *lowest},
                   {QStringLiteral("noise_peak_mv"), *peak},
                   {QStringLiteral("ratio"), ratio},
                   {QStringLiteral("factor"), t.noiseMarginFactor}},
    });
}

}  // namespace

void deviceSignals(const SegmentReading& r, Findings& out) {
    const std::vector<const DeviceReading*> live = liveDevices(r);
    signalLow(r, live, out);
    signalHigh(live, out);
    weakDevices(r, live, out);
    noiseMargin(r, live, out);
}

}  // namespace ksx4::diagnosis::rules
