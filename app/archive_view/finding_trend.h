#pragma once
// Which trend chart shows what a finding is about: the value its sentence
// names, of its device where it has one. Findings that are not about a
// value (a shield short, a device gone or new, no scheduler) have none.
#include "diagnosis/finding.h"

#include <QString>

#include <optional>

namespace ksx4 {

struct FindingTrend {
    std::optional<int> device;  // the trend of this device's values too
    QString chartTitle;         // as the trend window titles its charts
};

std::optional<FindingTrend> trendOfFinding(const diagnosis::Finding& finding);

}  // namespace ksx4
