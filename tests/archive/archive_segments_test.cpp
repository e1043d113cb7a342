// Segments on both engines: location names grouped trimmed and in any case,
// the listing's counts, times and days, each report's baseline (chosen or
// the earliest), older archives read as they are and migrated with their
// segment keys, and a chosen baseline that outlives reopening, migration
// and damage.
#include "archive/archive.h"
#include "archive/segments.h"
#include "archive_engines.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ksx4::test {
namespace {

using archive::Archive;
using archive::ArchivedReport;
using archive::BaselineChange;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

template <class T>
T take(archive::Result<T> result) {
    if (auto* error = std::get_if<archive::ArchiveError>(&result)) {
        ADD_FAILURE() << error->reason.toStdString();
        return T{};
    }
    return std::move(std::get<T>(result));
}

std::unique_ptr<Archive> openArchive(const ArchiveLocation& location,
                                     Archive::Access access = Archive::Access::ReadWrite) {
    return take(Archive::open(location, access));
}

// A report of location saved at saved (a day of March 2026 at 10:00);
// seed makes its bytes unique.
ArchivedReport reportAt(const QString& location, int day, int seed,
                        const QString& verdict = QStringLiteral("OK")) {
    ArchivedReport r;
    r.summary.testerSerial = 1001;
    r.summary.slot = 1 + seed % 8;
    r.summary.location = location;
    r.summary.reportName = QStringLiteral("Report %1").arg(seed);
    r.summary.saved = QStringLiteral("2026-03-%1T10:00:00").arg(day, 2, 10, QLatin1Char('0'));
    r.summary.transferredMs = 1'780'000'000'000 + seed;
    r.summary.devices = 1;
    r.summary.verdict = verdict;
    r.summary.workbookPath = QStringLiteral("/out/x.xls");
    r.summary.workbookSha256 = QString(64, u'a');
    r.slotBytes = QByteArray(archive::kSourceBytes, static_cast<char>(seed));
    r.eepromBytes = QByteArray(archive::kSourceBytes, '\x20');
    r.values = {
        {"voltage", std::nullopt, 20000 + seed, "20.0V", 9000, "9.0V Minimum", "OK"},
        {"signal", 20, 800 - seed, "800mV", 150, "150mV Minimum", "OK"},
    };
    return r;
}

std::vector<int64_t> idsOf(const std::vector<archive::ReportSummary>& reports) {
    std::vector<int64_t> ids;
    for (const auto& r : reports) ids.push_back(r.id);
    return ids;
}

// Stores r as a program before segments did (schema version 2), as the
// archive's report number id.
void storeAsVersion2(const ArchiveLocation& location, const ArchivedReport& r, int id) {
    const auto& s = r.summary;
    ASSERT_TRUE(execDirectly(
        location,
        "INSERT INTO report (tester_serial, tester_kind, firmware_marker, slot, slot_sha256, "
        "location, report_name, search_key, saved, transferred_ms, utc_offset, report_time, "
        "devices, verdict, workbook_path, workbook_sha256, locale_name, program_version) "
        "VALUES (?, 0, 0, ?, ?, ?, ?, ?, ?, ?, 0, ?, 1, ?, 'x.xls', 'sha', 'en_US', '2.09')",
        {s.testerSerial, s.slot, QStringLiteral("digest %1").arg(id), s.location, s.reportName,
         (s.location + u'\n' + s.reportName).toCaseFolded(), *s.saved,
         static_cast<qlonglong>(s.transferredMs), s.reportTime(), s.verdict}));
    ASSERT_TRUE(execDirectly(location,
                             "INSERT INTO report_source (report_id, slot_bytes, eeprom_bytes, "
                             "shown_texts) SELECT id, ?, ?, '[]' FROM report WHERE slot_sha256 = ?",
                             {r.slotBytes, r.eepromBytes, QStringLiteral("digest %1").arg(id)}));
}

const QDateTime kNow(QDate(2026, 4, 1), QTime(8, 0));

class ArchiveSegmentsTest : public ArchiveEngineTest {};

TEST_P(ArchiveSegmentsTest, ListsSegmentsByTrimmedNameInAnyCase) {
    const auto archive = openArchive(location);
    // Stored in another order than their times.
    const std::vector<ArchivedReport> reports{
        reportAt("Tank 3", 10, 1, "OK"),      reportAt("  TANK 3", 20, 2, "BAD"),
        reportAt("tank 3", 5, 3, "WARN"),     reportAt("Tank 31", 7, 4),
        reportAt("Kessel Süd", 1, 5, "WARN"), reportAt("KESSEL SÜD", 2, 6),
    };
    std::vector<int64_t> ids;
    for (const auto& r : reports) ids.push_back(take(archive->store(r)).id);

    const auto segments = take(archive::listSegments(*archive, kNow, 1));
    ASSERT_EQ(segments.size(), 3u);
    const auto& kessel = segments[0];
    const auto& tank3 = segments[1];
    const auto& tank31 = segments[2];
    EXPECT_EQ(kessel.key, QStringLiteral("kessel süd"));
    EXPECT_EQ(kessel.name, QStringLiteral("KESSEL SÜD"));  // the latest report's spelling
    EXPECT_EQ(tank3.name, QStringLiteral("TANK 3"));
    EXPECT_EQ(tank3.reports, 3);
    EXPECT_EQ(tank3.firstReport, QStringLiteral("2026-03-05T10:00:00"));
    EXPECT_EQ(tank3.lastReport, QStringLiteral("2026-03-20T10:00:00"));
    EXPECT_EQ(tank3.lastVerdict, QStringLiteral("BAD"));
    EXPECT_EQ(tank3.latestId, ids[1]);
    EXPECT_EQ(tank3.baselineId, ids[2]);  // the earliest
    EXPECT_FALSE(tank3.baselineChosen);
    EXPECT_EQ(tank3.daysSinceLast, 12);
    EXPECT_THAT(tank3.recentIds, ElementsAre(ids[0]));
    EXPECT_EQ(tank31.reports, 1);
    EXPECT_EQ(tank31.baselineId, std::nullopt);  // nothing earlier to compare with
    EXPECT_TRUE(tank31.recentIds.empty());
    EXPECT_EQ(tank31.daysSinceLast, 25);

    EXPECT_EQ(take(archive::listSegments(*archive, kNow, 5))[1].recentIds,
              (std::vector<int64_t>{ids[2], ids[0]}));
    EXPECT_EQ(idsOf(take(archive::segmentReports(*archive, " tank 3 "))),
              (std::vector<int64_t>{ids[2], ids[0], ids[1]}));
    EXPECT_EQ(take(archive::latestReport(*archive, "TANK 3"))->id, ids[1]);
    EXPECT_FALSE(take(archive::latestReport(*archive, "Tank")));
    EXPECT_TRUE(take(archive::segmentReports(*archive, "Tank")).empty());
}

// Which report each report is compared with, with and without a choice.
TEST_P(ArchiveSegmentsTest, ABaselineChosenByHandChangesWhatLaterReportsAreComparedWith) {
    const auto archive = openArchive(location);
    std::vector<int64_t> ids;
    for (int visit = 0; visit < 4; ++visit)
        ids.push_back(take(archive->store(reportAt("Tank 3", 1 + visit, visit))).id);
    take(archive->store(reportAt("Boiler", 9, 9)));
    const auto baselineOf = [&](int64_t id) {
        const auto in = take(archive::reportInSegment(*archive, id));
        EXPECT_TRUE(in);
        return in && in->baseline ? std::optional<int64_t>(in->baseline->id) : std::nullopt;
    };

    EXPECT_EQ(baselineOf(ids[3]), ids[0]);
    EXPECT_EQ(baselineOf(ids[0]), std::nullopt);
    EXPECT_EQ(take(archive::setBaseline(*archive, ids[1])), BaselineChange::Changed);
    EXPECT_EQ(take(archive::setBaseline(*archive, ids[1])), BaselineChange::Unchanged);
    EXPECT_EQ(take(archive::chosenBaseline(*archive, "TANK 3")), ids[1]);
    const auto in = take(archive::reportInSegment(*archive, ids[3]));
    EXPECT_EQ(in->baseline->id, ids[1]);
    EXPECT_TRUE(in->baselineChosen);
    EXPECT_EQ(idsOf(in->earlier), (std::vector<int64_t>{ids[0], ids[1], ids[2]}));
    EXPECT_EQ(take(archive::listSegments(*archive, kNow))[1].baselineId, ids[1]);
    // Reports up to the chosen one still compare with the earliest.
    EXPECT_EQ(baselineOf(ids[1]), ids[0]);
    EXPECT_EQ(baselineOf(ids[0]), std::nullopt);

    EXPECT_EQ(take(archive::setBaseline(*archive, 999)), BaselineChange::NoSuchReport);
    EXPECT_EQ(take(archive::clearBaseline(*archive, "tank 3")), BaselineChange::Changed);
    EXPECT_EQ(take(archive::clearBaseline(*archive, "tank 3")), BaselineChange::Unchanged);
    EXPECT_EQ(baselineOf(ids[3]), ids[0]);
    EXPECT_FALSE(take(archive::reportInSegment(*archive, 999)));
}

TEST_P(ArchiveSegmentsTest, AReadOnlyArchiveKeepsItsBaseline) {
    int64_t id = 0;
    {
        const auto archive = openArchive(location);
        id = take(archive->store(reportAt("Tank 3", 1, 1))).id;
    }
    const auto readOnly = openArchive(location, Archive::Access::ReadOnly);
    const auto result = archive::setBaseline(*readOnly, id);
    EXPECT_TRUE(std::holds_alternative<archive::ArchiveError>(result));
    EXPECT_EQ(take(archive::chosenBaseline(*readOnly, "Tank 3")), std::nullopt);
}

// Archive contents are not trusted: a choice that names a report of
// another segment, or one that is gone, is no choice.
TEST_P(ArchiveSegmentsTest, ADamagedBaselineChoiceIsNone) {
    const auto archive = openArchive(location);
    const int64_t first = take(archive->store(reportAt("Tank 3", 1, 1))).id;
    const int64_t latest = take(archive->store(reportAt("Tank 3", 2, 2))).id;
    const int64_t other = take(archive->store(reportAt("Boiler", 1, 3))).id;
    for (const qlonglong named : {static_cast<qlonglong>(other), 999LL}) {
        ASSERT_TRUE(execDirectly(location, "DELETE FROM segment_baseline"));
        ASSERT_TRUE(
            execDirectly(location, "INSERT INTO segment_baseline VALUES ('tank 3', ?)", {named}));
        EXPECT_EQ(take(archive::chosenBaseline(*archive, "Tank 3")), std::nullopt) << named;
        const auto in = take(archive::reportInSegment(*archive, latest));
        EXPECT_EQ(in->baseline->id, first) << named;
        EXPECT_EQ(take(archive::listSegments(*archive, kNow))[1].baselineId, first) << named;
    }
}

// An archive a program before segments made: read-only it is grouped as
// it is, with no baseline chosen; the first open for writing gives its
// reports their keys as new reports get them, and a baseline chosen then
// stays through reopening and later transfers.
TEST_P(ArchiveSegmentsTest, AnOlderArchiveIsReadAsItIsAndMigratedWithItsSegmentKeys) {
    ASSERT_TRUE(makeArchiveOfVersion(location, 2));
    storeAsVersion2(location, reportAt(" Kessel Süd", 1, 1, "BAD"), 1);
    storeAsVersion2(location, reportAt("KESSEL SÜD", 3, 2), 2);
    storeAsVersion2(location, reportAt("Tank 3", 2, 3), 3);
    if (HasFatalFailure()) return;

    {
        const auto old = openArchive(location, Archive::Access::ReadOnly);
        EXPECT_EQ(take(old->schemaVersion()), 2);
        const auto segments = take(archive::listSegments(*old, kNow, 3));
        ASSERT_EQ(segments.size(), 2u);
        EXPECT_EQ(segments[0].name, QStringLiteral("KESSEL SÜD"));
        EXPECT_EQ(segments[0].reports, 2);
        EXPECT_EQ(segments[0].baselineId, 1);
        EXPECT_THAT(segments[0].recentIds, ElementsAre(1));
        EXPECT_EQ(idsOf(take(archive::segmentReports(*old, "kessel süd"))),
                  (std::vector<int64_t>{1, 2}));
        EXPECT_EQ(take(archive::reportInSegment(*old, 2))->baseline->id, 1);
        EXPECT_EQ(take(archive::chosenBaseline(*old, "Kessel Süd")), std::nullopt);
    }

    const auto archive = openArchive(location);
    EXPECT_EQ(take(archive->schemaVersion()), archive::kSchemaVersion);
    const int64_t added = take(archive->store(reportAt("kessel süd  ", 5, 4))).id;
    EXPECT_EQ(idsOf(take(archive::segmentReports(*archive, "Kessel Süd"))),
              (std::vector<int64_t>{1, 2, added}));
    EXPECT_EQ(take(archive::setBaseline(*archive, 2)), BaselineChange::Changed);
    take(archive->store(reportAt("Kessel Süd", 7, 5)));
    for (const auto access : {Archive::Access::ReadWrite, Archive::Access::ReadOnly}) {
        const auto reopened = openArchive(location, access);
        EXPECT_EQ(take(archive::chosenBaseline(*reopened, "KESSEL süd")), 2);
        const auto segments = take(archive::listSegments(*reopened, kNow));
        ASSERT_EQ(segments.size(), 2u);
        EXPECT_EQ(segments[0].reports, 4);
        EXPECT_EQ(segments[0].baselineId, 2);
        EXPECT_TRUE(segments[0].baselineChosen);
    }
}

TEST_P(ArchiveSegmentsTest, ReadsManyReportsWithTheirValuesInTheOrderAsked) {
    const auto archive = openArchive(location);
    const ArchivedReport a = reportAt("Tank 3", 1, 1);
    const ArchivedReport b = reportAt("Boiler", 2, 2);
    const int64_t idA = take(archive->store(a)).id;
    const int64_t idB = take(archive->store(b)).id;

    const auto read = take(archive::reportsWithValues(*archive, {idB, 999, idA}));
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].summary.id, idB);
    EXPECT_EQ(read[0].summary.location, QStringLiteral("Boiler"));
    EXPECT_EQ(read[0].slotBytes, b.slotBytes);
    EXPECT_EQ(read[1].eepromBytes, a.eepromBytes);
    ASSERT_EQ(read[1].values.size(), a.values.size());
    for (std::size_t i = 0; i < a.values.size(); ++i) {
        const auto& got = read[1].values[i];
        const auto& want = a.values[i];
        EXPECT_EQ(std::tie(got.measure, got.device, got.value, got.limit, got.judgement),
                  std::tie(want.measure, want.device, want.value, want.limit, want.judgement));
    }
    EXPECT_TRUE(take(archive::reportsWithValues(*archive, {})).empty());
}

INSTANTIATE_TEST_SUITE_P(Engines, ArchiveSegmentsTest, kBothEngines, engineName);

}  // namespace
}  // namespace ksx4::test
