#pragma once
// Every threshold the findings use, once, with why it stands where it does.
// The tester's own limits (voltage, signal, noise, retransmits) are not here:
// they are stored with each report and judged against as the report does.
namespace ksx4::diagnosis {

struct Thresholds {
    // voltage-margin: a supply this close above its minimum leaves no room
    // for a device added or a cable warming up.
    int voltageMarginMv = 1000;

    // signal-low: devices below the limit on under this share of the
    // devices point to what those devices share (their spurs, a junction
    // box); on more, to the whole segment (terminators, power, trunk).
    double fewDevicesShare = 0.5;

    // signal-high: with both terminators a device's signal lies at about
    // 750-1000 mV; losing one nearly doubles it, so above this most of the
    // segment has lost a terminator.
    int signalHighMv = 1300;
    // signal-high fires when more than this share of the devices is above
    // signalHighMv (one loud transmitter alone is not a terminator).
    double signalHighShare = 0.5;

    // signal-weak-device: a device below this share of the median of the
    // others stands out from its segment though still above the limit.
    double weakDeviceRatio = 0.60;
    // A median needs this many other devices before one device is judged
    // against it (a median of one device is that device's own wander).
    int medianPeersMin = 2;

    // signal-noise-margin: receivers need the lowest signal to stand this
    // many times above the peak fieldbus-frequency noise.
    int noiseMarginFactor = 4;

    // signal-all-up: the median of the devices' signal ratios (this report
    // over the baseline) at or above this: a terminator removed or failed.
    double allUpRatio = 1.5;
    // signal-all-down: the median ratio at or below this ...
    double allDownRatio = 0.75;
    // ... and at least this share of the devices fell by at least
    // allDownDeviceFall: a terminator added or the power conditioner.
    double allDownDeviceShare = 0.80;
    double allDownDeviceFall = 0.15;

    // signal-device-down: one device fell by this much since the baseline ...
    double deviceDownFall = 0.25;
    // ... while the median of the others moved less than this: its spur or
    // its connection, not the segment.
    double deviceDownPeersMoved = 0.10;

    // signal-falling: a device's signal fell at each of its last this many
    // reports (each lower than the one before) ...
    int fallingReportsMin = 3;
    // ... and by at least this much in all over that run: wander of a few
    // per cent never adds up to it.
    double fallingTotal = 0.20;

    // noise-up: a band's average at least this many times the baseline's ...
    double noiseUpFactor = 2.0;
    // ... and at least this share of its limit (doubling from almost
    // nothing to still almost nothing means nothing).
    double noiseUpLimitShare = 0.5;

    // voltage-down: the segment voltage this much below the baseline's.
    int voltageDownMv = 1000;

    // retransmits-up: a device's retransmit count up by this many since the
    // baseline.
    int retransmitsUp = 5;
};

inline constexpr Thresholds kThresholds{};

}  // namespace ksx4::diagnosis
