#include "diagnosis/diagnose.h"

#include "diagnosis/rules.h"

#include <algorithm>

namespace ksx4::diagnosis {

std::vector<Finding> diagnose(const SegmentReading& latest, const SegmentReading* baseline,
                              std::span<const SegmentReading> history) {
    std::vector<Finding> findings;
    rules::voltage(latest, findings);
    rules::deviceSignals(latest, findings);
    rules::noise(latest, findings);
    rules::shield(latest, findings);
    rules::devices(latest, findings);
    const bool compared = baseline != nullptr && baseline->reportId != latest.reportId;
    if (compared) rules::signalsSinceBaseline(latest, *baseline, findings);
    rules::signalFalling(latest, history, findings);
    if (compared) rules::changesSinceBaseline(latest, *baseline, findings);
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.severity < b.severity; });
    return findings;
}

}  // namespace ksx4::diagnosis
