#pragma once
// An archived report as the findings read it: the values decoded from its
// source bytes in its tester's record layout, the limits from the values
// judged when it was archived.
#include "archive/archived_report.h"
#include "diagnosis/segment_reading.h"

#include <optional>

namespace ksx4 {

// Empty when the report cannot be read: source bytes that are not one
// 256-byte slot, or a tester kind that is neither KSX-4 nor KSX-4-PA.
// A limit the judged values do not hold stays empty.
std::optional<diagnosis::SegmentReading> segmentReading(const archive::ArchivedReport& report);

}  // namespace ksx4
