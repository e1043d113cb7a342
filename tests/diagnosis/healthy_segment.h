#pragma once
// A healthy KSX-4 segment to change one thing in: ten devices at 20..29
// with signals 800..890 mV, 24.0 V against a 9.0 V minimum, little noise,
// a sound shield, a link active scheduler, few retransmits.
#include "diagnosis/diagnose.h"

#include <QStringList>

#include <algorithm>
#include <functional>
#include <ostream>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace ksx4::diagnosis::test {

inline SegmentReading healthyReading(int64_t id, const QString& time) {
    SegmentReading r;
    r.reportId = id;
    r.segment = QStringLiteral("Tank 3");
    r.time = time;
    r.voltageMv = 24000;
    r.voltageLimitMv = 9000;
    r.signalLimitMv = 150;
    r.band(NoiseBand::Fieldbus) = {10, 20, 75, 75};
    r.band(NoiseBand::Low) = {10, 20, 150, 150};
    r.band(NoiseBand::High) = {10, 20, 150, 150};
    r.lasAddress = 16;
    r.retransmitLimit = 10;
    for (int i = 0; i < 10; ++i) {
        r.devices.push_back({.address = 20 + i, .signalMv = 800 + 10 * i, .retransmits = 1});
    }
    r.activeDevices = 10;
    return r;
}

// The lowest signal and its address as the tester reports them: those of
// the weakest device that answered.
inline void reportLowest(SegmentReading& r) {
    r.lowestSignalMv.reset();
    r.lowestSignalAddress.reset();
    for (const DeviceReading& d : r.devices) {
        if (!d.signalMv || d.status == EntryStatus::Dropped) continue;
        if (!r.lowestSignalMv || *d.signalMv < *r.lowestSignalMv) {
            r.lowestSignalMv = d.signalMv;
            r.lowestSignalAddress = d.address;
        }
    }
}

inline DeviceReading& device(SegmentReading& r, int address) {
    auto it = std::find_if(r.devices.begin(), r.devices.end(),
                           [&](const DeviceReading& d) { return d.address == address; });
    if (it == r.devices.end()) {
        r.devices.push_back({.address = address});
        return r.devices.back();
    }
    return *it;
}

// A segment's reports: the baseline of 2026-03-01, three visits between and
// the latest of 2026-11-01, all healthy and alike.
struct Visits {
    std::vector<SegmentReading> history{
        healthyReading(1, QStringLiteral("2026-03-01T09:00:00")),
        healthyReading(2, QStringLiteral("2026-05-01T09:00:00")),
        healthyReading(3, QStringLiteral("2026-07-01T09:00:00")),
        healthyReading(4, QStringLiteral("2026-09-01T09:00:00")),
    };
    SegmentReading latest = healthyReading(5, QStringLiteral("2026-11-01T09:00:00"));
    bool withBaseline = true;
    bool testerReportsLowest = true;  // the lowest signal follows the devices

    SegmentReading& baseline() { return history.front(); }
    // The same change in every report: what one report alone shows.
    void everywhere(const std::function<void(SegmentReading&)>& change) {
        for (SegmentReading& r : history) change(r);
        change(latest);
    }
    std::vector<Finding> diagnose() {
        if (testerReportsLowest) {
            for (SegmentReading& r : history) reportLowest(r);
            reportLowest(latest);
        }
        return diagnosis::diagnose(latest, withBaseline ? &history.front() : nullptr, history);
    }
};

inline QStringList codes(const std::vector<Finding>& findings) {
    QStringList list;
    for (const Finding& f : findings) list << f.code;
    return list;
}

}  // namespace ksx4::diagnosis::test
