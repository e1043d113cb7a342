#pragma once
// The archive read by segment: the segments it holds, one segment's
// reports, and the baseline each segment's reports are compared with.
//
// A segment's reports are ordered as list sorts them (report time, slot,
// id). Its baseline is the report a person chose for it, else its earliest
// report; a report is compared with its segment's baseline only when the
// baseline came before it, else with the segment's earliest report, and the
// earliest report itself with nothing. Archives older than the segments
// schema are read as they are: segments worked out from their location
// names, no baseline chosen.
#include "archive/archive.h"
#include "archive/archived_report.h"
#include "archive/segment_key.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace ksx4::archive {

struct SegmentSummary {
    QString key;   // segmentKey()
    QString name;  // the latest report's location name, trimmed
    int64_t reports = 0;
    QString firstReport, lastReport;  // their ReportSummary::reportTime()
    int64_t latestId = 0;
    QString lastVerdict;  // the latest report's
    // The latest report's baseline; none when it is the segment's only
    // report.
    std::optional<int64_t> baselineId;
    bool baselineChosen = false;  // by a person, not the earliest report
    // Whole days from the latest report's day to now's (local dates); none
    // when its time does not read as one.
    std::optional<int> daysSinceLast;
    // With recentReports: the reports before the latest, oldest first, at
    // most that many (the newest of them).
    std::vector<int64_t> recentIds;
};

// Every segment, ordered by key. now: the local time days are counted to.
// recentReports: how many of each segment's reports before its latest to
// name in recentIds.
Result<std::vector<SegmentSummary>> listSegments(Archive& archive, const QDateTime& now,
                                                 int recentReports = 0);

// One report in its segment: the report, its baseline, and the segment's
// reports before it.
struct ReportInSegment {
    ReportSummary report;
    QString segmentKey;
    std::optional<ReportSummary> baseline;
    bool baselineChosen = false;
    std::vector<ReportSummary> earlier;  // oldest first, the baseline among them
};
// nullopt when no report has that id.
Result<std::optional<ReportInSegment>> reportInSegment(Archive& archive, int64_t id);

// The segment's reports oldest first; empty when none has that name (any
// case, blanks around it ignored).
Result<std::vector<ReportSummary>> segmentReports(Archive& archive, const QString& segment);

// The segment's latest report, or nullopt.
Result<std::optional<ReportSummary>> latestReport(Archive& archive, const QString& segment);

// The reports of ids (those that exist, in the order of ids) with their
// source bytes and, withValues, their judged values, without the texts the
// workbook shows (valueText and limitText stay empty): what reading many
// reports needs, in one or two queries.
Result<std::vector<ArchivedReport>> reportsWithValues(Archive& archive,
                                                      const std::vector<int64_t>& ids,
                                                      bool withValues = true);

// For reading many reports fast (a listing of every segment): the reports
// of ids that exist, in the order of ids, with only their id, tester kind,
// location, saved and transfer times and slot bytes, and withLimits, of
// their values only each measure's first one that holds a limit (the
// tester's limit as the report was judged against it).
Result<std::vector<ArchivedReport>> reportsForReading(Archive& archive,
                                                      const std::vector<int64_t>& ids,
                                                      bool withLimits);

// The report a person chose as the segment's baseline, or nullopt (none
// chosen, or an archive older than the segments schema).
Result<std::optional<int64_t>> chosenBaseline(Archive& archive, const QString& segment);

enum class BaselineChange {
    Changed,      // the choice is stored
    Unchanged,    // it already was so
    NoSuchReport  // setBaseline: no report has that id
};
// Makes the report its segment's baseline.
Result<BaselineChange> setBaseline(Archive& archive, int64_t reportId);
// The segment's baseline is its earliest report again.
Result<BaselineChange> clearBaseline(Archive& archive, const QString& segment);

}  // namespace ksx4::archive
