#pragma once
// What the segment view's links and buttons do, and "Set as Baseline" on
// the report table.
#include "archive_view/archive_form.h"
#include "archive_view/segment_form.h"
#include "core/outcome.h"

#include <optional>

namespace ksx4 {

class ArchiveSession;
struct ProgramState;

// A finding's "Show Trend" (finding: its index in the pane), or Enter on a
// segment's row (finding nullopt: the chart of its worst finding, else the
// segment's charts): the trend of the selected segment, of the finding's
// device too, with the finding's chart brought into view. The trend is
// asked for through the location and device boxes, which then name it.
Outcome showSegmentTrend(ProgramState& state, ArchiveForm& archive, SegmentForm& segments,
                         ArchiveSession& session, std::optional<int> finding);

// "Set as Baseline" on the report table: the selected report becomes its
// segment's baseline, after asking.
Outcome setAsBaseline(ProgramState& state, ArchiveForm& archive, SegmentForm& segments,
                      ArchiveSession& session);

// "Clear Baseline" on the segment view: the selected segment's baseline is
// its earliest report again, after asking.
Outcome clearSegmentBaseline(ProgramState& state, SegmentForm& segments, ArchiveSession& session);

}  // namespace ksx4
