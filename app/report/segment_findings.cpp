#include "report/segment_findings.h"

#include "diagnosis/diagnose.h"
#include "report/segment_reading.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace ksx4 {
namespace {

using diagnosis::SegmentReading;
using Readings = std::unordered_map<int64_t, SegmentReading>;

template <class T>
const T* valueOf(const archive::Result<T>& result, archive::ArchiveError& error) {
    if (const auto* failure = std::get_if<archive::ArchiveError>(&result)) {
        error = *failure;
        return nullptr;
    }
    return &std::get<T>(result);
}

// Reads the reports of ids into readings (those whose bytes read); only
// the latest report and the baseline need their values, and of them only
// the limits a segment reading takes.
std::optional<archive::ArchiveError> readInto(archive::Archive& archive,
                                              const std::vector<int64_t>& ids, bool withValues,
                                              Readings& readings) {
    if (ids.empty()) return std::nullopt;
    archive::ArchiveError error;
    const auto result = archive::reportsForReading(archive, ids, withValues);
    const auto* reports = valueOf(result, error);
    if (!reports) return error;
    for (const archive::ArchivedReport& report : *reports) {
        if (auto reading = segmentReading(report))
            readings.insert_or_assign(report.summary.id, std::move(*reading));
    }
    return std::nullopt;
}

std::vector<SegmentReading> historyOf(const std::vector<int64_t>& ids, const Readings& readings) {
    std::vector<SegmentReading> history;
    history.reserve(ids.size());
    for (const int64_t id : ids) {
        if (const auto found = readings.find(id); found != readings.end())
            history.push_back(found->second);
    }
    return history;
}

// A falling signal is followed back report by report: when one of the
// latest report's devices fell at every report of history, its run may go
// on before them.
bool fallsThroughAll(const SegmentReading& latest, const std::vector<SegmentReading>& history) {
    if (history.empty()) return false;
    for (const diagnosis::DeviceReading& device : latest.devices) {
        if (!device.signalMv) continue;
        int later = *device.signalMv;
        bool fell = true;
        for (auto it = history.rbegin(); it != history.rend() && fell; ++it) {
            const auto earlier =
                std::find_if(it->devices.begin(), it->devices.end(),
                             [&](const auto& d) { return d.address == device.address; });
            fell = earlier != it->devices.end() && earlier->signalMv && *earlier->signalMv > later;
            if (fell) later = *earlier->signalMv;
        }
        if (fell) return true;
    }
    return false;
}

int verdictRank(const QString& verdict) {
    if (verdict == QLatin1String("BAD")) return 0;
    if (verdict == QLatin1String("WARN")) return 1;
    return 2;
}

int severityRank(const std::optional<diagnosis::Finding>& worst) {
    return worst ? static_cast<int>(worst->severity) : 3;
}

}  // namespace

archive::Result<std::optional<ReportFindings>> findingsOfReport(archive::Archive& archive,
                                                                int64_t id) {
    archive::ArchiveError error;
    const auto placed = archive::reportInSegment(archive, id);
    const auto* place = valueOf(placed, error);
    if (!place) return error;
    if (!*place) return std::optional<ReportFindings>();
    ReportFindings result{**place, {}};
    const archive::ReportInSegment& in = result.place;

    std::vector<int64_t> compared{in.report.id};
    if (in.baseline) compared.push_back(in.baseline->id);
    std::vector<int64_t> earlier;
    for (const auto& s : in.earlier) {
        if (!in.baseline || s.id != in.baseline->id) earlier.push_back(s.id);
    }
    Readings readings;
    if (auto failure = readInto(archive, compared, true, readings)) return *failure;
    if (auto failure = readInto(archive, earlier, false, readings)) return *failure;
    const auto latest = readings.find(in.report.id);
    if (latest == readings.end()) {
        return archive::ArchiveError{
            QStringLiteral("report %1 cannot be read for its findings (its source bytes are "
                           "damaged)")
                .arg(id)};
    }
    std::vector<int64_t> historyIds;
    for (const auto& s : in.earlier) historyIds.push_back(s.id);
    const std::vector<SegmentReading> history = historyOf(historyIds, readings);
    const auto baseline = in.baseline ? readings.find(in.baseline->id) : readings.end();
    result.findings = diagnosis::diagnose(
        latest->second, baseline == readings.end() ? nullptr : &baseline->second, history);
    return std::optional<ReportFindings>(std::move(result));
}

archive::Result<std::vector<SegmentFindings>> segmentsWithFindings(archive::Archive& archive,
                                                                   const QDateTime& now) {
    archive::ArchiveError error;
    const auto listed = archive::listSegments(archive, now, kRecentReportsRead);
    const auto* segments = valueOf(listed, error);
    if (!segments) return error;

    // Every segment's reports in two set-based reads: the compared ones
    // with their limits, the ones before them as bytes.
    std::vector<int64_t> compared, recent;
    std::unordered_set<int64_t> comparedIds;
    for (const archive::SegmentSummary& s : *segments) {
        compared.push_back(s.latestId);
        comparedIds.insert(s.latestId);
        if (s.baselineId) {
            compared.push_back(*s.baselineId);
            comparedIds.insert(*s.baselineId);
        }
    }
    for (const archive::SegmentSummary& s : *segments) {
        for (const int64_t id : s.recentIds) {
            if (!comparedIds.contains(id)) recent.push_back(id);
        }
    }
    Readings readings;
    if (auto failure = readInto(archive, compared, true, readings)) return *failure;
    if (auto failure = readInto(archive, recent, false, readings)) return *failure;

    std::vector<SegmentFindings> result;
    result.reserve(segments->size());
    for (const archive::SegmentSummary& s : *segments) {
        SegmentFindings row{s, std::nullopt};
        const auto latest = readings.find(s.latestId);
        if (latest != readings.end()) {
            std::vector<SegmentReading> history = historyOf(s.recentIds, readings);
            const bool wholeHistoryRead = static_cast<int64_t>(s.recentIds.size()) + 1 >= s.reports;
            if (!wholeHistoryRead && fallsThroughAll(latest->second, history)) {
                const auto all = archive::segmentReports(archive, s.name);
                const auto* reports = valueOf(all, error);
                if (!reports) return error;
                std::vector<int64_t> ids;
                for (const auto& r : *reports) {
                    if (r.id != s.latestId && !readings.contains(r.id)) ids.push_back(r.id);
                }
                if (auto failure = readInto(archive, ids, false, readings)) return *failure;
                std::vector<int64_t> before;
                for (const auto& r : *reports) {
                    if (r.id == s.latestId) break;
                    before.push_back(r.id);
                }
                history = historyOf(before, readings);
            }
            const auto baseline = s.baselineId ? readings.find(*s.baselineId) : readings.end();
            const auto findings = diagnosis::diagnose(
                latest->second, baseline == readings.end() ? nullptr : &baseline->second, history);
            if (!findings.empty()) row.worst = findings.front();
        }
        result.push_back(std::move(row));
    }
    std::stable_sort(
        result.begin(), result.end(), [](const SegmentFindings& a, const SegmentFindings& b) {
            return std::tuple(severityRank(a.worst), verdictRank(a.segment.lastVerdict)) <
                   std::tuple(severityRank(b.worst), verdictRank(b.segment.lastVerdict));
        });
    return result;
}

std::optional<QString> findingStatusLine(const QString& segment,
                                         const std::vector<diagnosis::Finding>& findings) {
    if (findings.empty() || findings.front().severity == diagnosis::Severity::Note)
        return std::nullopt;
    const diagnosis::Finding& worst = findings.front();
    QString line = segment + QStringLiteral(": ") +
                   (worst.headline.isEmpty() ? worst.summary : worst.headline);
    const auto more = findings.size() - 1;
    if (more == 1) line += QStringLiteral(" (1 more finding)");
    if (more > 1) line += QStringLiteral(" (%1 more findings)").arg(more);
    return line;
}

}  // namespace ksx4
