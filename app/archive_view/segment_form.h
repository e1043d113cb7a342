#pragma once
// The segment view as its handlers see it: the selected segment, its
// latest report's findings, and the trend chart a finding is about.
#include "diagnosis/finding.h"
#include "report/segment_findings.h"

#include <QString>

#include <optional>

namespace ksx4 {

class SegmentForm {
  public:
    virtual ~SegmentForm() = default;
    // The segment of the table's current row with its worst finding, if any.
    virtual std::optional<SegmentFindings> selectedSegment() const = 0;
    // The findings pane's finding at index (its latest report's, worst
    // first), if it shows that many.
    virtual std::optional<diagnosis::Finding> shownFinding(int index) const = 0;
    // Reads the segments again (a baseline changed), keeping the selection.
    virtual void reloadSegments() = 0;
    // Brings the trend window's chart of that title into view.
    virtual void revealTrendChart(const QString& title) = 0;
};

}  // namespace ksx4
