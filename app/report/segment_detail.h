#pragma once
// What a window shows of one segment: its latest report's findings against
// its baseline and history, and the two reports side by side.
#include "archive/archive.h"
#include "report/baseline_comparison.h"
#include "report/segment_findings.h"

#include <QString>

#include <optional>

namespace ksx4 {

struct SegmentDetail {
    ReportFindings latest;  // the latest report, its baseline and its findings
    BaselineComparison comparison;
};

// nullopt when the archive holds no report of that segment (any case,
// blanks around it ignored).
archive::Result<std::optional<SegmentDetail>> segmentDetail(archive::Archive& archive,
                                                            const QString& segment);

}  // namespace ksx4
