// The rules that read one report alone, apart from the device signals.
#include "diagnosis/devices.h"
#include "diagnosis/noise_bands.h"
#include "diagnosis/rules.h"
#include "diagnosis/thresholds.h"
#include "diagnosis/wording.h"

#include <algorithm>

namespace ksx4::diagnosis::rules {
namespace {

using namespace wording;
constexpr const Thresholds& t = kThresholds;

QString deviceName(int address) {
    return QStringLiteral("Device ") + QString::number(address);
}
QString deviceNameLower(int address) {
    return QStringLiteral("device ") + QString::number(address);
}

}  // namespace

void voltage(const SegmentReading& r, Findings& out) {
    if (!r.voltageMv || !r.voltageLimitMv) return;
    const int v = *r.voltageMv;
    const int limit = *r.voltageLimitMv;
    if (v < limit) {
        out.push_back({
            .code = code::kVoltageLow,
            .severity = Severity::Alarm,
            .summary = QStringLiteral("The segment voltage is %1, below its %2 minimum.")
                           .arg(volts(v), volts(limit)),
            .headline =
                QStringLiteral("voltage %1, below its %2 minimum").arg(volts(v), volts(limit)),
            .causes = {QStringLiteral("the power conditioner or its supply failing"),
                       QStringLiteral("more devices than the supply can feed"),
                       QStringLiteral("a connection or a long trunk losing voltage"),
                       QStringLiteral("a short between the wires")},
            .check = QStringLiteral("Measure the voltage at the power conditioner's output and at "
                                    "the far end of the trunk, and the connections between."),
            .values = {{QStringLiteral("voltage_mv"), v}, {QStringLiteral("limit_mv"), limit}},
        });
    } else if (v - limit < t.voltageMarginMv) {
        out.push_back({
            .code = code::kVoltageMargin,
            .severity = Severity::Note,
            .summary = QStringLiteral("The segment voltage is %1, only %2 above its %3 minimum.")
                           .arg(volts(v), millivolts(v - limit), volts(limit)),
            .headline = QStringLiteral("voltage %1, only %2 above its minimum")
                            .arg(volts(v), millivolts(v - limit)),
            .causes = {QStringLiteral("a power conditioner set low or ageing"),
                       QStringLiteral("a long trunk or many devices drawing current")},
            .check = QStringLiteral("Measure the power conditioner's output; plan for the "
                                    "current before adding a device."),
            .values = {{QStringLiteral("voltage_mv"), v},
                       {QStringLiteral("limit_mv"), limit},
                       {QStringLiteral("margin_mv"), v - limit}},
        });
    }
}

void noise(const SegmentReading& r, Findings& out) {
    for (NoiseBand band : kBands) {
        const NoiseReading& n = r.band(band);
        const bool avgHigh = n.avgMv && n.avgLimitMv && *n.avgMv > *n.avgLimitMv;
        const bool peakHigh = n.peakMv && n.peakLimitMv && *n.peakMv > *n.peakLimitMv;
        if (!avgHigh && !peakHigh) continue;
        QStringList parts;
        QList<std::pair<QString, double>> values;
        if (avgHigh) {
            parts << QStringLiteral("the average %1 is over its %2 limit")
                         .arg(millivolts(*n.avgMv), millivolts(*n.avgLimitMv));
            values << std::pair{QStringLiteral("avg_mv"), double(*n.avgMv)}
                   << std::pair{QStringLiteral("avg_limit_mv"), double(*n.avgLimitMv)};
        }
        if (peakHigh) {
            parts << QStringLiteral("the peak %1 is over its %2 limit")
                         .arg(millivolts(*n.peakMv), millivolts(*n.peakLimitMv));
            values << std::pair{QStringLiteral("peak_mv"), double(*n.peakMv)}
                   << std::pair{QStringLiteral("peak_limit_mv"), double(*n.peakLimitMv)};
        }
        const QString joined = parts.join(QStringLiteral(" and "));
        out.push_back({
            .code = code::kNoiseHigh,
            .severity = Severity::Alarm,
            .summary = bandName(band) + QStringLiteral(" noise is too high: ") + joined + u'.',
            .headline = bandName(band).toLower() + QStringLiteral(" noise over its limit"),
            .causes = bandCauses(band),
            .check = bandCheck(band),
            .values = values,
        });
    }
}

void shield(const SegmentReading& r, Findings& out) {
    const int c = r.shieldShortCode;
    if (c == kNoShieldShort) return;
    const QString text = shieldShortText(c);
    QStringList causes;
    if (shieldShortIntermittent(c)) {
        causes = {QStringLiteral("moisture in a junction box or a connector"),
                  QStringLiteral("a loose shield strand touching a wire now and then")};
    } else if (text == QStringLiteral("Unknown")) {
        causes = {QStringLiteral("a shield short the tester reports with a code it has no name "
                                 "for"),
                  QStringLiteral("the shield touching a wire")};
    } else {
        causes = {QStringLiteral("the shield touching a wire: a damaged cable or a stray strand "
                                 "in a junction box"),
                  QStringLiteral("water in a junction box or a connector")};
    }
    out.push_back({
        .code = code::kShieldShort,
        .severity = Severity::Alarm,
        .summary = text == QStringLiteral("Unknown")
                       ? QStringLiteral("The tester found a shield short of a kind it has no "
                                        "name for (code %1).")
                             .arg(c)
                       : QStringLiteral("The tester found a shield short: %1.").arg(text),
        .headline = QStringLiteral("shield short (%1)").arg(text),
        .causes = causes,
        .check = QStringLiteral("Open the junction boxes and connectors and look for water and "
                                "stray shield strands; measure the shield against both wires."),
        .values = {{QStringLiteral("code"), c}},
    });
}

void devices(const SegmentReading& r, Findings& out) {
    // Dropped and added devices: the entries' own status and the report's
    // most recent add/drop, once per address.
    for (const auto& [wanted, addDrop] : {std::pair{EntryStatus::Dropped, AddDrop::Dropped},
                                          std::pair{EntryStatus::Added, AddDrop::Added}}) {
        QList<int> found;
        for (const DeviceReading& d : r.devices) {
            if (d.status == wanted && !found.contains(d.address)) found << d.address;
        }
        if (r.addDrop == addDrop && r.addDropAddress && !found.contains(*r.addDropAddress)) {
            found << *r.addDropAddress;
        }
        std::sort(found.begin(), found.end());
        const bool dropped = wanted == EntryStatus::Dropped;
        for (int address : found) {
            if (dropped) {
                out.push_back({
                    .code = code::kDeviceDropped,
                    .severity = Severity::Alarm,
                    .device = address,
                    .summary = deviceName(address) +
                               QStringLiteral(" dropped off the segment while the tester watched."),
                    .headline = deviceNameLower(address) + QStringLiteral(" dropped off"),
                    .causes = {QStringLiteral("its spur or connector opening (a loose wire, "
                                              "corrosion)"),
                               QStringLiteral("the device losing power or failing"),
                               QStringLiteral("a signal too weak or noise too strong for it")},
                    .check = QStringLiteral("Check the device's spur, connector and terminal "
                                            "screws, and its signal and retransmits in earlier "
                                            "reports."),
                });
            } else {
                out.push_back({
                    .code = code::kDeviceAdded,
                    .severity = Severity::Note,
                    .device = address,
                    .summary = deviceName(address) +
                               QStringLiteral(" joined the segment while the tester watched."),
                    .headline = deviceNameLower(address) + QStringLiteral(" joined"),
                    .causes = {QStringLiteral("a device connected or powered up during the test"),
                               QStringLiteral("a device that drops off and joins again")},
                    .check = QStringLiteral("If no one connected it, check its spur and "
                                            "connector: devices that come and go have a loose "
                                            "connection."),
                });
            }
        }
    }

    if (r.retransmitLimit) {
        const int limit = *r.retransmitLimit;
        QList<int> over;
        const DeviceReading* most = nullptr;
        for (const DeviceReading* d : entriesByAddress(r)) {
            if (!d->retransmits || *d->retransmits <= limit) continue;
            over << d->address;
            if (most == nullptr || *d->retransmits > *most->retransmits) most = d;
        }
        if (over.size() == 1) {
            out.push_back({
                .code = code::kRetransmitsHigh,
                .severity = Severity::Warning,
                .device = most->address,
                .summary = QStringLiteral("%1 needed %2 retransmits, over the limit of %3.")
                               .arg(deviceName(most->address))
                               .arg(*most->retransmits)
                               .arg(limit),
                .headline = QStringLiteral("%1: %2 retransmits")
                                .arg(deviceNameLower(most->address))
                                .arg(*most->retransmits),
                .causes = {QStringLiteral("its spur or connector"),
                           QStringLiteral("noise reaching that device"),
                           QStringLiteral("the device's transmitter or receiver")},
                .check = QStringLiteral("Check the device's spur and connector; if they are "
                                        "sound, swap in a known good device."),
                .values = {{QStringLiteral("retransmits"), *most->retransmits},
                           {QStringLiteral("limit"), limit}},
            });
        } else if (over.size() > 1) {
            out.push_back({
                .code = code::kRetransmitsHigh,
                .severity = Severity::Warning,
                .summary = QStringLiteral("%1 needed more retransmits than the limit of %2 "
                                          "(devices %3; most %4, at device %5).")
                               .arg(count(int(over.size()), QStringLiteral("device"),
                                          QStringLiteral("devices")))
                               .arg(limit)
                               .arg(addresses(over))
                               .arg(*most->retransmits)
                               .arg(most->address),
                .headline = QStringLiteral("%1 over the retransmit limit")
                                .arg(count(int(over.size()), QStringLiteral("device"),
                                           QStringLiteral("devices"))),
                .causes = {QStringLiteral("noise on the segment (see the noise readings)"),
                           QStringLiteral("weak signals: a terminator too many or a failing "
                                          "power conditioner"),
                           QStringLiteral("the shield's grounding")},
                .check = QStringLiteral("Check the noise readings, the terminators and the "
                                        "shield's ground before the devices themselves."),
                .values = {{QStringLiteral("devices"), double(over.size())},
                           {QStringLiteral("limit"), limit},
                           {QStringLiteral("most_retransmits"), *most->retransmits}},
            });
        }
    }

    if (r.testerKind == TesterKind::Ksx4 && !r.lasAddress) {
        out.push_back({
            .code = code::kNoLas,
            .severity = Severity::Warning,
            .summary = QStringLiteral("No link active scheduler (LAS) was seen on the segment."),
            .headline = QStringLiteral("no link active scheduler"),
            .causes = {QStringLiteral("the host disconnected from the segment"),
                       QStringLiteral("no device configured as a backup scheduler"),
                       QStringLiteral("the host's card or its power")},
            .check = QStringLiteral("Check the host's connection to the segment and which "
                                    "device is configured to schedule the link."),
        });
    }
}

}  // namespace ksx4::diagnosis::rules
