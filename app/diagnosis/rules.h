#pragma once
// The rules, one family per function; each appends its findings in the
// order of the codes in finding.h, devices by address.
#include "diagnosis/finding.h"
#include "diagnosis/segment_reading.h"

#include <span>
#include <vector>

namespace ksx4::diagnosis::rules {

using Findings = std::vector<Finding>;

// From one report, against the tester's limits stored with it.
void voltage(const SegmentReading& report, Findings& out);  // voltage-low, voltage-margin
// signal-low, signal-high, signal-weak-device, signal-noise-margin
void deviceSignals(const SegmentReading& report, Findings& out);
void noise(const SegmentReading& report, Findings& out);   // noise-high
void shield(const SegmentReading& report, Findings& out);  // shield-short
// device-dropped, device-added, retransmits-high, no-las
void devices(const SegmentReading& report, Findings& out);

// Against the baseline: signal-all-up, signal-all-down, signal-device-down.
void signalsSinceBaseline(const SegmentReading& latest, const SegmentReading& baseline,
                          Findings& out);
// Over the history: signal-falling.
void signalFalling(const SegmentReading& latest, std::span<const SegmentReading> history,
                   Findings& out);
// Against the baseline: noise-up, voltage-down, device-missing, device-new,
// retransmits-up.
void changesSinceBaseline(const SegmentReading& latest, const SegmentReading& baseline,
                          Findings& out);

}  // namespace ksx4::diagnosis::rules
