#pragma once
// The findings worked out from the archive when asked: of one report
// against its segment's baseline and history, and the worst finding of
// every segment's latest report for the segments listing. Never stored:
// a better rule applies to every old report.
#include "archive/archive.h"
#include "archive/segments.h"
#include "diagnosis/finding.h"

#include <QDateTime>

#include <optional>
#include <vector>

namespace ksx4 {

struct ReportFindings {
    archive::ReportInSegment place;            // the report, its baseline and the reports before it
    std::vector<diagnosis::Finding> findings;  // worst first
};

// nullopt when no report has that id. An error also when the report's
// source bytes cannot be read; earlier reports that cannot be read are
// left out of the comparison.
archive::Result<std::optional<ReportFindings>> findingsOfReport(archive::Archive& archive,
                                                                int64_t id);

struct SegmentFindings {
    archive::SegmentSummary segment;
    std::optional<diagnosis::Finding> worst;  // of its latest report
};

// Every segment, worst first: by its worst finding's severity (none last),
// then its last verdict (BAD, WARN, OK), then its name. Reads each
// segment's latest report, its baseline and the few reports before the
// latest that a falling signal is followed through (more only for the
// segments whose signal fell through all of them). now: what days since
// the last report count to.
archive::Result<std::vector<SegmentFindings>> segmentsWithFindings(archive::Archive& archive,
                                                                   const QDateTime& now);

// How many reports before the latest the listing reads at first.
inline constexpr int kRecentReportsRead = 4;

// "Tank 3: device 20's signal down 34 % since 2026-03-01 (2 more
// findings)" when the report has an alarm or a warning, for a status line.
std::optional<QString> findingStatusLine(const QString& segment,
                                         const std::vector<diagnosis::Finding>& findings);

}  // namespace ksx4
