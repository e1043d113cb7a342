#include "archive/segments.h"

#include "archive/archive_internals.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>

namespace ksx4::archive {
namespace {

using In = ArchiveInternals;

// Report ids to one IN list: far below every engine's bound on a
// statement's length.
constexpr std::size_t kIdsPerQuery = 5000;
// The values that hold each measure's first limit: the ten segment values
// and the first device's three.
constexpr int kLimitPositions = 13;

// Where a report stands in its segment's order, as list sorts.
struct Place {
    QString time;
    int slot = 0;
    int64_t id = 0;
    bool operator<(const Place& other) const {
        return std::tie(time, slot, id) < std::tie(other.time, other.slot, other.id);
    }
};

bool hasSegments(Archive& archive) {
    return In::schemaVersion(archive) >= kSegmentsSchemaVersion;
}

std::optional<int> daysBetween(const QString& reportTime, const QDateTime& now) {
    const QDate day = QDate::fromString(reportTime.left(10), Qt::ISODate);
    if (!day.isValid()) return std::nullopt;
    return static_cast<int>(day.daysTo(now.date()));
}

QString idList(const std::vector<int64_t>& ids, std::size_t first, std::size_t count) {
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(count));
    for (std::size_t i = first; i < first + count; ++i) texts.append(QString::number(ids[i]));
    return texts.join(u',');
}

// A LIKE pattern that finds the key in the search key (location, line
// break, report name, case folded): it narrows an older archive's reports
// to the candidates of one segment.
QString keyPattern(const QString& key) {
    QString escaped;
    for (const QChar c : key) {
        if (c == u'\\' || c == u'%' || c == u'_') escaped += u'\\';
        escaped += c;
    }
    return u'%' + escaped + u'%';
}

// The segment's reports oldest first, read by its key.
Result<std::vector<ReportSummary>> reportsOfKey(Archive& archive, const QString& key) {
    QSqlQuery query(In::db(archive));
    query.setForwardOnly(true);
    const bool keyed = hasSegments(archive);
    query.prepare(
        QStringLiteral("SELECT %1 FROM report r WHERE %2 ORDER BY r.report_time, r.slot, r.id")
            .arg(QLatin1String(In::summaryColumns()),
                 keyed ? QLatin1String("r.segment_key = ?")
                       : QLatin1String("r.search_key LIKE ? ESCAPE '\\'")));
    query.addBindValue(keyed ? key : keyPattern(key));
    if (!query.exec()) return In::error(archive, query.lastError());
    std::vector<ReportSummary> reports;
    while (query.next()) {
        ReportSummary s = In::summaryOf(query);
        if (keyed || segmentKey(s.location) == key) reports.push_back(std::move(s));
    }
    return reports;
}

Result<std::optional<int64_t>> chosenOfKey(Archive& archive, const QString& key) {
    if (!hasSegments(archive)) return std::optional<int64_t>();
    QSqlQuery query(In::db(archive));
    // A choice whose report is gone or belongs to another segment (the
    // archive's contents are not trusted) is none.
    query.prepare(QStringLiteral(
        "SELECT b.report_id FROM segment_baseline b JOIN report r ON r.id = b.report_id "
        "AND r.segment_key = b.segment_key WHERE b.segment_key = ?"));
    query.addBindValue(key);
    if (!query.exec()) return In::error(archive, query.lastError());
    if (!query.next()) return std::optional<int64_t>();
    return std::optional<int64_t>(query.value(0).toLongLong());
}

// The baseline of the report at index of reports (its segment's, oldest
// first): the chosen one when it came before, else the earliest report.
std::optional<std::size_t> baselineIndex(const std::vector<ReportSummary>& reports,
                                         std::size_t index, std::optional<int64_t> chosen,
                                         bool* isChosen) {
    *isChosen = false;
    if (chosen) {
        for (std::size_t i = 0; i < index; ++i) {
            if (reports[i].id == *chosen) {
                *isChosen = true;
                return i;
            }
        }
    }
    if (index == 0) return std::nullopt;
    return 0;
}

struct Grouped {
    SegmentSummary summary;
    Place latest;
    std::optional<Place> chosen;
    int64_t earliestId = 0;
};

void settleBaseline(Grouped& g) {
    SegmentSummary& s = g.summary;
    if (g.chosen && *g.chosen < g.latest) {
        s.baselineId = g.chosen->id;
        s.baselineChosen = true;
    } else if (g.earliestId != s.latestId) {
        s.baselineId = g.earliestId;
    }
}

// The segments of an archive that keeps segment keys: counted and found
// through the segment index.
Result<std::vector<Grouped>> keyedSegments(Archive& archive) {
    QSqlQuery query(In::db(archive));
    query.setForwardOnly(true);
    const QString latest = QStringLiteral(
        "(SELECT x.id FROM report x WHERE x.segment_key = g.segment_key "
        "ORDER BY x.report_time %1, x.slot %1, x.id %1 LIMIT 1)");
    // PostgreSQL finds the latest report through LATERAL, which SQLite
    // lacks; SQLite looks up the id a scalar subquery gives.
    const QString latestJoin =
        In::sqlite(archive)
            ? QStringLiteral("JOIN report l ON l.id = %1").arg(latest.arg(QStringLiteral("DESC")))
            : QStringLiteral(
                  "CROSS JOIN LATERAL (SELECT x.id, x.location, x.report_time, "
                  "x.slot, x.verdict FROM report x WHERE x.segment_key = "
                  "g.segment_key ORDER BY x.report_time DESC, x.slot DESC, x.id DESC "
                  "LIMIT 1) l");
    const QString sql =
        QStringLiteral(
            "SELECT g.segment_key, g.reports, g.first_time, l.id, l.location, l.report_time, "
            "l.slot, l.verdict, %1, c.id, c.report_time, c.slot "
            "FROM (SELECT segment_key, COUNT(*) AS reports, MIN(report_time) AS first_time "
            "FROM report GROUP BY segment_key) g "
            "%2 "
            "LEFT JOIN segment_baseline b ON b.segment_key = g.segment_key "
            "LEFT JOIN report c ON c.id = b.report_id AND c.segment_key = g.segment_key")
            .arg(latest.arg(QString()), latestJoin);
    if (!query.exec(sql)) return In::error(archive, query.lastError());
    std::vector<Grouped> segments;
    while (query.next()) {
        Grouped g;
        SegmentSummary& s = g.summary;
        s.key = query.value(0).toString();
        s.reports = query.value(1).toLongLong();
        s.firstReport = query.value(2).toString();
        s.latestId = query.value(3).toLongLong();
        s.name = segmentName(query.value(4).toString());
        s.lastReport = query.value(5).toString();
        s.lastVerdict = query.value(7).toString();
        g.latest = {s.lastReport, query.value(6).toInt(), s.latestId};
        g.earliestId = query.value(8).toLongLong();
        if (!query.value(9).isNull()) {
            g.chosen = Place{query.value(10).toString(), query.value(11).toInt(),
                             query.value(9).toLongLong()};
        }
        segments.push_back(std::move(g));
    }
    return segments;
}

// The reports before each segment's latest, at most count of them, oldest
// first, by key.
Result<std::map<QString, std::vector<int64_t>>> keyedRecent(Archive& archive, int count) {
    QSqlQuery query(In::db(archive));
    query.setForwardOnly(true);
    const QString recent = QStringLiteral(
        "SELECT x.id%1 FROM report x WHERE x.segment_key = g.segment_key "
        "ORDER BY x.report_time DESC, x.slot DESC, x.id DESC LIMIT %2 OFFSET 1");
    const QString keys = QStringLiteral("(SELECT DISTINCT segment_key FROM report) g");
    // SQLite has no LATERAL; a correlated IN finds the same rows.
    const QString sql =
        In::sqlite(archive)
            ? QStringLiteral(
                  "SELECT g.segment_key, r.id, r.report_time, r.slot FROM %1 "
                  "JOIN report r ON r.id IN (%2)")
                  .arg(keys, recent.arg(QString()).arg(count))
            : QStringLiteral(
                  "SELECT g.segment_key, r.id, r.report_time, r.slot FROM %1 "
                  "CROSS JOIN LATERAL (%2) r")
                  .arg(keys, recent.arg(QStringLiteral(", x.report_time, x.slot")).arg(count));
    if (!query.exec(sql)) return In::error(archive, query.lastError());
    std::map<QString, std::vector<Place>> places;
    while (query.next()) {
        places[query.value(0).toString()].push_back(
            {query.value(2).toString(), query.value(3).toInt(), query.value(1).toLongLong()});
    }
    std::map<QString, std::vector<int64_t>> recentIds;
    for (auto& [key, list] : places) {
        std::sort(list.begin(), list.end());
        auto& ids = recentIds[key];
        for (const Place& place : list) ids.push_back(place.id);
    }
    return recentIds;
}

// The segments of an older archive: every report read and grouped here.
Result<std::vector<Grouped>> groupedByLocation(Archive& archive, int recentCount) {
    QSqlQuery query(In::db(archive));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, location, report_time, slot, verdict FROM report "
                                   "ORDER BY report_time, slot, id")))
        return In::error(archive, query.lastError());
    std::unordered_map<QString, std::size_t> byKey;
    std::vector<Grouped> segments;
    std::vector<std::vector<int64_t>> ids;
    while (query.next()) {
        const int64_t id = query.value(0).toLongLong();
        const QString location = query.value(1).toString();
        const QString time = query.value(2).toString();
        const QString key = segmentKey(location);
        auto [at, added] = byKey.try_emplace(key, segments.size());
        if (added) {
            Grouped g;
            g.summary.key = key;
            g.summary.firstReport = time;
            g.earliestId = id;
            segments.push_back(std::move(g));
            ids.emplace_back();
        }
        Grouped& g = segments[at->second];
        SegmentSummary& s = g.summary;
        ++s.reports;
        s.latestId = id;
        s.name = segmentName(location);
        s.lastReport = time;
        s.lastVerdict = query.value(4).toString();
        g.latest = {time, query.value(3).toInt(), id};
        ids[at->second].push_back(id);
    }
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const auto& all = ids[i];
        const std::size_t before = all.size() - 1;
        const std::size_t take = std::min(before, static_cast<std::size_t>(recentCount));
        segments[i].summary.recentIds.assign(
            all.begin() + static_cast<std::ptrdiff_t>(before - take),
            all.begin() + static_cast<std::ptrdiff_t>(before));
    }
    return segments;
}

}  // namespace

Result<std::vector<SegmentSummary>> listSegments(Archive& archive, const QDateTime& now,
                                                 int recentReports) {
    recentReports = std::max(recentReports, 0);
    const bool keyed = hasSegments(archive);
    auto grouped = keyed ? keyedSegments(archive) : groupedByLocation(archive, recentReports);
    if (auto* error = std::get_if<ArchiveError>(&grouped)) return *error;
    auto& segments = std::get<std::vector<Grouped>>(grouped);
    if (keyed && recentReports > 0) {
        auto recent = keyedRecent(archive, recentReports);
        if (auto* error = std::get_if<ArchiveError>(&recent)) return *error;
        auto& byKey = std::get<std::map<QString, std::vector<int64_t>>>(recent);
        for (Grouped& g : segments) {
            auto found = byKey.find(g.summary.key);
            if (found == byKey.end()) continue;
            g.summary.recentIds = std::move(found->second);
        }
    }
    std::vector<SegmentSummary> result;
    result.reserve(segments.size());
    for (Grouped& g : segments) {
        settleBaseline(g);
        g.summary.daysSinceLast = daysBetween(g.summary.lastReport, now);
        result.push_back(std::move(g.summary));
    }
    // Here, not in SQL: the engines' collations order texts differently.
    std::sort(result.begin(), result.end(),
              [](const SegmentSummary& a, const SegmentSummary& b) { return a.key < b.key; });
    return result;
}

Result<std::optional<ReportInSegment>> reportInSegment(Archive& archive, int64_t id) {
    QString location;
    {
        QSqlQuery query(In::db(archive));
        query.prepare(QStringLiteral("SELECT location FROM report WHERE id = ?"));
        query.addBindValue(static_cast<qlonglong>(id));
        if (!query.exec()) return In::error(archive, query.lastError());
        if (!query.next()) return std::optional<ReportInSegment>();
        location = query.value(0).toString();
    }
    const QString key = segmentKey(location);
    auto reports = reportsOfKey(archive, key);
    if (auto* error = std::get_if<ArchiveError>(&reports)) return *error;
    auto& all = std::get<std::vector<ReportSummary>>(reports);
    const auto at =
        std::find_if(all.begin(), all.end(), [id](const ReportSummary& s) { return s.id == id; });
    if (at == all.end()) return std::optional<ReportInSegment>();
    const auto chosen = chosenOfKey(archive, key);
    if (auto* error = std::get_if<ArchiveError>(&chosen)) return *error;

    ReportInSegment in;
    in.segmentKey = key;
    const auto index = static_cast<std::size_t>(at - all.begin());
    in.report = all[index];
    if (const auto b =
            baselineIndex(all, index, std::get<std::optional<int64_t>>(chosen), &in.baselineChosen))
        in.baseline = all[*b];
    in.earlier.assign(all.begin(), at);
    return std::optional<ReportInSegment>(std::move(in));
}

Result<std::vector<ReportSummary>> segmentReports(Archive& archive, const QString& segment) {
    return reportsOfKey(archive, segmentKey(segment));
}

Result<std::optional<ReportSummary>> latestReport(Archive& archive, const QString& segment) {
    auto reports = segmentReports(archive, segment);
    if (auto* error = std::get_if<ArchiveError>(&reports)) return *error;
    auto& all = std::get<std::vector<ReportSummary>>(reports);
    if (all.empty()) return std::optional<ReportSummary>();
    return std::optional<ReportSummary>(std::move(all.back()));
}

Result<std::vector<ArchivedReport>> reportsWithValues(Archive& archive,
                                                      const std::vector<int64_t>& ids,
                                                      bool withValues) {
    std::unordered_map<int64_t, ArchivedReport> byId;
    for (std::size_t first = 0; first < ids.size(); first += kIdsPerQuery) {
        const std::size_t count = std::min(kIdsPerQuery, ids.size() - first);
        const QString list = idList(ids, first, count);
        QSqlQuery reports(In::db(archive));
        reports.setForwardOnly(true);
        if (!reports.exec(QStringLiteral("SELECT %1, s.slot_bytes, s.eeprom_bytes, "
                                         "r.firmware_marker, r.locale_name, r.program_version "
                                         "FROM report r JOIN report_source s ON s.report_id = "
                                         "r.id WHERE r.id IN (%2)")
                              .arg(QLatin1String(In::summaryColumns()), list)))
            return In::error(archive, reports.lastError());
        constexpr int c = In::kSummaryColumnCount;
        while (reports.next()) {
            ArchivedReport report;
            report.summary = In::summaryOf(reports);
            report.slotBytes = reports.value(c).toByteArray();
            report.eepromBytes = reports.value(c + 1).toByteArray();
            report.firmwareMarker = reports.value(c + 2).toInt();
            report.localeName = reports.value(c + 3).toString();
            report.programVersion = reports.value(c + 4).toString();
            byId.emplace(report.summary.id, std::move(report));
        }
        if (!withValues) continue;
        QSqlQuery values(In::db(archive));
        values.setForwardOnly(true);
        if (!values.exec(QStringLiteral("SELECT report_id, measure, device, value, limit_value, "
                                        "judgement FROM judged_value WHERE report_id IN (%1) "
                                        "ORDER BY report_id, position")
                             .arg(list)))
            return In::error(archive, values.lastError());
        ArchivedReport* current = nullptr;
        while (values.next()) {
            const int64_t id = values.value(0).toLongLong();
            if (!current || current->summary.id != id) {
                const auto found = byId.find(id);
                current = found == byId.end() ? nullptr : &found->second;
                if (!current) continue;
            }
            JudgedValue v;
            v.measure = values.value(1).toString();
            if (!values.value(2).isNull()) v.device = values.value(2).toInt();
            if (!values.value(3).isNull()) v.value = values.value(3).toLongLong();
            if (!values.value(4).isNull()) v.limit = values.value(4).toLongLong();
            v.judgement = values.value(5).toString();
            current->values.push_back(std::move(v));
        }
    }
    std::vector<ArchivedReport> result;
    result.reserve(byId.size());
    for (const int64_t id : ids) {
        const auto found = byId.find(id);
        if (found != byId.end()) result.push_back(found->second);
    }
    return result;
}

Result<std::vector<ArchivedReport>> reportsForReading(Archive& archive,
                                                      const std::vector<int64_t>& ids,
                                                      bool withLimits) {
    std::unordered_map<int64_t, ArchivedReport> byId;
    byId.reserve(ids.size());
    for (std::size_t first = 0; first < ids.size(); first += kIdsPerQuery) {
        const std::size_t count = std::min(kIdsPerQuery, ids.size() - first);
        const QString list = idList(ids, first, count);
        QSqlQuery reports(In::db(archive));
        reports.setForwardOnly(true);
        if (!reports.exec(QStringLiteral("SELECT r.id, r.tester_kind, r.location, r.saved, "
                                         "r.transferred_ms, r.utc_offset, s.slot_bytes "
                                         "FROM report r JOIN report_source s ON s.report_id = "
                                         "r.id WHERE r.id IN (%1) AND s.report_id IN (%1)")
                              .arg(list)))
            return In::error(archive, reports.lastError());
        while (reports.next()) {
            ArchivedReport report;
            ReportSummary& summary = report.summary;
            summary.id = reports.value(0).toLongLong();
            summary.testerKind = reports.value(1).toInt();
            summary.location = reports.value(2).toString();
            if (!reports.value(3).isNull()) summary.saved = reports.value(3).toString();
            summary.transferredMs = reports.value(4).toLongLong();
            summary.utcOffsetSeconds = reports.value(5).toInt();
            report.slotBytes = reports.value(6).toByteArray();
            byId.emplace(summary.id, std::move(report));
        }
        if (!withLimits) continue;
        // A transfer keeps a report's ten segment values first, then each
        // device's signal, add/drop status and retransmits: every
        // measure's first limit stands among the first values, and the
        // engine reads no others.
        QSqlQuery limits(In::db(archive));
        limits.setForwardOnly(true);
        if (!limits.exec(QStringLiteral("SELECT report_id, measure, limit_value FROM judged_value "
                                        "WHERE report_id IN (%1) AND position <= %2 AND "
                                        "limit_value IS NOT NULL ORDER BY report_id, position")
                             .arg(list)
                             .arg(kLimitPositions)))
            return In::error(archive, limits.lastError());
        ArchivedReport* current = nullptr;
        while (limits.next()) {
            const int64_t id = limits.value(0).toLongLong();
            if (!current || current->summary.id != id) {
                const auto found = byId.find(id);
                current = found == byId.end() ? nullptr : &found->second;
            }
            if (!current) continue;
            const QString measure = limits.value(1).toString();
            const bool seen =
                std::any_of(current->values.begin(), current->values.end(),
                            [&](const JudgedValue& v) { return v.measure == measure; });
            if (seen) continue;
            JudgedValue v;
            v.measure = measure;
            v.limit = limits.value(2).toLongLong();
            current->values.push_back(std::move(v));
        }
    }
    std::vector<ArchivedReport> result;
    result.reserve(byId.size());
    for (const int64_t id : ids) {
        const auto found = byId.find(id);
        if (found != byId.end()) result.push_back(std::move(found->second));
    }
    return result;
}

Result<std::optional<int64_t>> chosenBaseline(Archive& archive, const QString& segment) {
    return chosenOfKey(archive, segmentKey(segment));
}

Result<BaselineChange> setBaseline(Archive& archive, int64_t reportId) {
    if (auto failure = In::begin(archive)) return *failure;
    auto fail = [&archive](const QSqlQuery& query) {
        const ArchiveError failure = In::error(archive, query.lastError());
        In::rollback(archive);
        return failure;
    };
    QSqlQuery query(In::db(archive));
    query.prepare(QStringLiteral(
        "SELECT r.segment_key, b.report_id FROM report r "
        "LEFT JOIN segment_baseline b ON b.segment_key = r.segment_key WHERE r.id = ?"));
    query.addBindValue(static_cast<qlonglong>(reportId));
    if (!query.exec()) return fail(query);
    if (!query.next()) {
        In::rollback(archive);
        return BaselineChange::NoSuchReport;
    }
    const QString key = query.value(0).toString();
    const bool same = !query.value(1).isNull() && query.value(1).toLongLong() == reportId;
    query.finish();
    if (same) {
        In::rollback(archive);
        return BaselineChange::Unchanged;
    }
    QSqlQuery upsert(In::db(archive));
    upsert.prepare(
        QStringLiteral("INSERT INTO segment_baseline (segment_key, report_id) VALUES (?, ?) "
                       "ON CONFLICT (segment_key) DO UPDATE SET report_id = excluded.report_id"));
    upsert.addBindValue(key);
    upsert.addBindValue(static_cast<qlonglong>(reportId));
    if (!upsert.exec()) return fail(upsert);
    if (auto failure = In::commit(archive)) {
        In::rollback(archive);
        return *failure;
    }
    return BaselineChange::Changed;
}

Result<BaselineChange> clearBaseline(Archive& archive, const QString& segment) {
    if (auto failure = In::begin(archive)) return *failure;
    QSqlQuery query(In::db(archive));
    query.prepare(QStringLiteral("DELETE FROM segment_baseline WHERE segment_key = ?"));
    query.addBindValue(segmentKey(segment));
    if (!query.exec()) {
        const ArchiveError failure = In::error(archive, query.lastError());
        In::rollback(archive);
        return failure;
    }
    const bool removed = query.numRowsAffected() > 0;
    if (auto failure = In::commit(archive)) {
        In::rollback(archive);
        return *failure;
    }
    return removed ? BaselineChange::Changed : BaselineChange::Unchanged;
}

}  // namespace ksx4::archive
