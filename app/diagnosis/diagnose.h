#pragma once
// Reading a segment's reports as an expert would: what is wrong, where to
// look, and what changed since the segment's baseline. Findings are hints
// for a person; they never change a report, its verdict or its workbook.
#include "diagnosis/finding.h"
#include "diagnosis/segment_reading.h"

#include <span>
#include <vector>

namespace ksx4::diagnosis {

// The findings of the latest report, worst first (alarms, warnings, notes;
// within a severity in the order the rules are listed in finding.h, then by
// device address). baseline is the report the segment is compared with, or
// null when it has none; a baseline that is the latest report itself
// compares nothing. history holds the segment's earlier reports, oldest
// first, without the latest (the baseline may be among them).
std::vector<Finding> diagnose(const SegmentReading& latest, const SegmentReading* baseline,
                              std::span<const SegmentReading> history);

}  // namespace ksx4::diagnosis
