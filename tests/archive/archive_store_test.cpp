// The archive on both engines: what a stored report reads back as, the one
// copy per tester and slot bytes, the list filters and trends, the schema
// version guard, and archives that cannot be used.
#include "archive/archive.h"
#include "archive_engines.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ksx4::test {
namespace {

using archive::Archive;
using archive::ArchivedReport;
using archive::JudgedValue;
using ::testing::HasSubstr;
using ::testing::Not;

template <class T>
T take(archive::Result<T> result) {
    if (auto* error = std::get_if<archive::ArchiveError>(&result)) {
        ADD_FAILURE() << error->reason.toStdString();
        return T{};
    }
    return std::move(std::get<T>(result));
}

QString failureOf(const auto& result) {
    const auto* error = std::get_if<archive::ArchiveError>(&result);
    return error ? error->reason : QString();
}

std::unique_ptr<Archive> openArchive(const ArchiveLocation& location,
                                     Archive::Access access = Archive::Access::ReadWrite) {
    return take(Archive::open(location, access));
}

// A report of tester serial in slot; seed varies its slot bytes.
ArchivedReport sampleReport(int serial, int slot, const QString& location,
                            std::optional<QString> saved, int seed, const QString& verdict) {
    ArchivedReport r;
    r.summary.testerSerial = serial;
    r.summary.testerKind = 0;
    r.summary.slot = slot;
    r.summary.location = location;
    r.summary.reportName = QStringLiteral("Name %1").arg(slot);
    r.summary.saved = std::move(saved);
    r.summary.transferredMs = 1'780'000'000'000 + seed;
    r.summary.utcOffsetSeconds = 3600;
    r.summary.devices = 1;
    r.summary.verdict = verdict;
    r.summary.workbookPath = QStringLiteral("/out/%1.xls").arg(location);
    r.summary.workbookSha256 = QString(64, u'a');
    r.slotBytes = QByteArray(archive::kSourceBytes, static_cast<char>(seed));
    r.slotBytes[0] = '\0';  // bytes of every value, a zero included
    r.slotBytes[1] = static_cast<char>(0xff);
    r.eepromBytes = QByteArray(archive::kSourceBytes, '\x20');
    r.firmwareMarker = 128;
    r.localeName = QStringLiteral("de_DE");
    r.programVersion = QStringLiteral("2.09");
    r.values = {
        {"voltage", std::nullopt, 8600 + seed, "8.6V", 9000, "9.0V Minimum", verdict},
        // Not judged: no judgement text at all, as the filling leaves it.
        {"signal", std::nullopt, std::nullopt, "Not Available", std::nullopt, "150mV Minimum",
         QString()},
        {"signal", 20, 300 + seed, "325mV", 150, "150mV Minimum", "OK"},
        {"retransmits", 20, 2, "2", 0, "0", "BAD"},
    };
    return r;
}

void expectSameValues(const std::vector<JudgedValue>& read,
                      const std::vector<JudgedValue>& stored) {
    ASSERT_EQ(read.size(), stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const JudgedValue& a = read[i];
        const JudgedValue& b = stored[i];
        EXPECT_EQ(
            std::tie(a.measure, a.device, a.value, a.valueText, a.limit, a.limitText, a.judgement),
            std::tie(b.measure, b.device, b.value, b.valueText, b.limit, b.limitText, b.judgement))
            << "value " << i;
    }
}

// Stores report the way the first schema kept it, texts in the value rows,
// as the archive's first report (id 1).
void storeAsVersion1(const ArchiveLocation& location, const ArchivedReport& r) {
    const auto& s = r.summary;
    ASSERT_TRUE(execDirectly(
        location,
        "INSERT INTO report (tester_serial, tester_kind, firmware_marker, slot, slot_sha256, "
        "location, report_name, search_key, saved, transferred_ms, utc_offset, report_time, "
        "devices, verdict, workbook_path, workbook_sha256, locale_name, program_version) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {s.testerSerial, s.testerKind, r.firmwareMarker, s.slot,
         QString::fromLatin1(
             QCryptographicHash::hash(r.slotBytes, QCryptographicHash::Sha256).toHex()),
         s.location, s.reportName, (s.location + u'\n' + s.reportName).toCaseFolded(), *s.saved,
         static_cast<qlonglong>(s.transferredMs), s.utcOffsetSeconds, s.reportTime(), s.devices,
         s.verdict, s.workbookPath, s.workbookSha256, r.localeName, r.programVersion}));
    ASSERT_TRUE(execDirectly(location, "INSERT INTO report_source VALUES (1, ?, ?)",
                             {r.slotBytes, r.eepromBytes}));
    int position = 0;
    for (const JudgedValue& v : r.values) {
        const auto number = [](const auto& n) {
            return n ? QVariant(static_cast<qlonglong>(*n)) : QVariant(QMetaType::fromType<int>());
        };
        ASSERT_TRUE(execDirectly(
            location,
            "INSERT INTO judged_value (report_id, position, measure, device, "
            "value, value_text, limit_value, limit_text, judgement) "
            "VALUES (1, ?, ?, ?, ?, ?, ?, ?, ?)",
            {++position, v.measure, number(v.device), number(v.value), v.valueText, number(v.limit),
             v.limitText, QString(v.judgement.isNull() ? "" : v.judgement)}));
    }
}

// The same slot bytes transferred after the tester's limits and the slot's
// report name changed: what that transfer wrote.
ArchivedReport withOtherLimits(ArchivedReport report, int seed) {
    report.summary.reportName = QStringLiteral("Renamed %1").arg(seed);
    report.summary.transferredMs += 86'400'000 * seed;
    report.summary.verdict = QStringLiteral("BAD");
    report.summary.workbookPath = QStringLiteral("/out/renamed %1.xls").arg(seed);
    report.summary.workbookSha256 = QString(64, u'b');
    report.eepromBytes[236] = static_cast<char>(seed);  // the voltage limit
    report.localeName = QStringLiteral("en_GB");
    report.values[0].limit = 9000 + 100 * seed;
    report.values[0].limitText = QStringLiteral("9.%1V Minimum").arg(seed);
    report.values[0].judgement = QStringLiteral("BAD");
    return report;
}

class ArchiveStoreTest : public ArchiveEngineTest {};

// An archive an earlier program made: read as it is, brought up to date by
// the first open for writing, every value and text kept.
TEST_P(ArchiveStoreTest, AnOlderArchiveIsReadAsItIsAndMigratedForWriting) {
    ASSERT_TRUE(makeArchiveOfVersion(location, 1));
    const ArchivedReport old = sampleReport(1001, 2, QStringLiteral("Tank 1"),
                                            QStringLiteral("2025-08-02T21:28:07"), 3, "BAD");
    storeAsVersion1(location, old);
    if (HasFatalFailure()) return;

    for (const auto access : {Archive::Access::ReadOnly, Archive::Access::ReadWrite}) {
        const auto archive = openArchive(location, access);
        EXPECT_EQ(take(archive->schemaVersion()),
                  access == Archive::Access::ReadOnly ? 1 : archive::kSchemaVersion);
        const auto read = take(archive->report(1));
        ASSERT_TRUE(read);
        EXPECT_EQ(read->slotBytes, old.slotBytes);
        expectSameValues(read->values, old.values);
        const auto points = take(archive->trend({"tank", "signal", 20}));
        ASSERT_EQ(points.size(), 1u);
        EXPECT_EQ(points[0].value, 303);
    }
    const auto archive = openArchive(location);
    const ArchivedReport next =
        sampleReport(1001, 3, QStringLiteral("Tank 1"), std::nullopt, 4, QStringLiteral("OK"));
    const auto stored = take(archive->store(next));
    expectSameValues(take(archive->report(stored.id))->values, next.values);
    // The old report, transferred again with other limits: both kept.
    ArchivedReport again = withOtherLimits(old, 1);
    EXPECT_EQ(take(archive->store(again)).outcome, archive::StoreOutcome::KeptAgain);
    const auto copies = take(archive->copies(1));
    ASSERT_EQ(copies.size(), 2u);
    expectSameValues(copies[0].values, old.values);
    expectSameValues(copies[1].values, again.values);
}

// Archive contents are not trusted: texts that do not fit the values are
// refused with the report named, not shown against the wrong rows.
TEST_P(ArchiveStoreTest, DamagedShownTextsAreAClearError) {
    const auto archive = openArchive(location);
    const auto stored = take(archive->store(
        sampleReport(1001, 1, QStringLiteral("A"), std::nullopt, 1, QStringLiteral("OK"))));
    for (const char* damaged : {"[[\"8.6V\", \"9.0V Minimum\"]]", "not json", "[1, 2, 3, 4]"}) {
        ASSERT_TRUE(execDirectly(location, "UPDATE report_source SET shown_texts = ?", {damaged}));
        EXPECT_THAT(failureOf(archive->report(stored.id)).toStdString(),
                    HasSubstr(QStringLiteral("report %1 is damaged").arg(stored.id).toStdString()))
            << damaged;
    }
}

TEST_P(ArchiveStoreTest, AStoredReportReadsBackWhole) {
    ArchivedReport stored =
        sampleReport(1001, 3, QStringLiteral("Tank's 3"), QStringLiteral("2025-08-02T21:28:07"), 7,
                     QStringLiteral("BAD"));
    stored.summary.reportName = QString();  // a location named with blanks only
    const auto archive = openArchive(location);
    const auto result = take(archive->store(stored));
    ASSERT_EQ(result.outcome, archive::StoreOutcome::Stored);

    const auto read = take(archive->report(result.id));
    ASSERT_TRUE(read);
    const auto& s = read->summary;
    EXPECT_EQ(s.id, result.id);
    EXPECT_EQ(std::tie(s.testerSerial, s.testerKind, s.slot, s.devices),
              std::tie(stored.summary.testerSerial, stored.summary.testerKind, stored.summary.slot,
                       stored.summary.devices));
    EXPECT_EQ(s.location, QStringLiteral("Tank's 3"));
    EXPECT_EQ(s.reportName, QString(""));
    EXPECT_EQ(s.saved, stored.summary.saved);
    EXPECT_EQ(s.transferredText(), QStringLiteral("2026-05-28T21:26:40+01:00"));
    EXPECT_EQ(s.verdict, QStringLiteral("BAD"));
    EXPECT_EQ(read->slotBytes, stored.slotBytes);
    EXPECT_EQ(read->eepromBytes, stored.eepromBytes);
    EXPECT_EQ(std::tie(read->firmwareMarker, read->localeName, read->programVersion),
              std::tie(stored.firmwareMarker, stored.localeName, stored.programVersion));
    expectSameValues(read->values, stored.values);
    EXPECT_FALSE(take(archive->report(result.id + 1)));
}

// Values go in by many to a statement: every count keeps them whole and in
// order, across a statement's bound.
TEST_P(ArchiveStoreTest, AnyNumberOfValuesReadsBackInOrder) {
    const auto archive = openArchive(location);
    for (const int count : {0, 128, 129, 300}) {
        ArchivedReport report =
            sampleReport(1001, 1, QStringLiteral("A"), std::nullopt, count, QStringLiteral("OK"));
        report.values.clear();
        for (int i = 0; i < count; ++i) {
            report.values.push_back({"signal", i % 250, i, QString::number(i), 150,
                                     QStringLiteral("150mV Minimum"), "OK"});
        }
        const auto stored = take(archive->store(report));
        const auto read = take(archive->report(stored.id));
        ASSERT_TRUE(read);
        expectSameValues(read->values, report.values);
    }
}

TEST_P(ArchiveStoreTest, TheSameReportOfTheSameTesterIsKeptOnce) {
    const auto archive = openArchive(location);
    const ArchivedReport report =
        sampleReport(1001, 1, QStringLiteral("A"), std::nullopt, 1, QStringLiteral("OK"));
    const auto first = take(archive->store(report));
    ArchivedReport again = report;
    again.summary.transferredMs += 60'000;  // a later transfer of the same bytes
    const auto second = take(archive->store(again));
    ArchivedReport otherTester = report;
    otherTester.summary.testerSerial = 1002;
    const auto third = take(archive->store(otherTester));

    EXPECT_EQ(first.outcome, archive::StoreOutcome::Stored);
    EXPECT_EQ(second.outcome, archive::StoreOutcome::AlreadyKept);
    EXPECT_EQ(second.id, first.id);
    EXPECT_EQ(third.outcome, archive::StoreOutcome::Stored);
    EXPECT_EQ(take(archive->list({})).size(), 2u);
    // Reopening finds the schema current and the reports still there.
    EXPECT_EQ(take(openArchive(location)->list({})).size(), 2u);
}

// One measurement, however often and however judged it was transferred:
// listed, found and trended once, as its newest transfer judged it, while
// each transfer that judged it otherwise keeps its own copy whole.
TEST_P(ArchiveStoreTest, AReportTransferredAgainWithOtherLimitsKeepsEachCopy) {
    const auto archive = openArchive(location);
    const ArchivedReport first =
        sampleReport(1001, 4, QStringLiteral("Tank"), std::nullopt, 1, QStringLiteral("OK"));
    const ArchivedReport second = withOtherLimits(first, 2);
    const auto id = take(archive->store(first)).id;

    const auto kept = take(archive->store(second));
    EXPECT_EQ(kept.outcome, archive::StoreOutcome::KeptAgain);
    EXPECT_EQ(std::tie(kept.id, kept.copy), std::make_tuple(id, 2));

    const auto listed = take(archive->list({}));
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].reportName, second.summary.reportName);
    EXPECT_EQ(listed[0].workbookSha256, second.summary.workbookSha256);
    EXPECT_EQ(listed[0].reportTime(), second.summary.reportTime());
    EXPECT_EQ(take(archive->list({.text = "renamed"})).size(), 1u);
    EXPECT_TRUE(take(archive->list({.text = "name 4"})).empty());
    EXPECT_EQ(take(archive->list({.verdict = "BAD"})).size(), 1u);
    const auto points = take(archive->trend({"tank", "voltage", std::nullopt}));
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(std::tie(points[0].limit, points[0].judgement),
              std::tie(second.values[0].limit, second.values[0].judgement));

    const auto copies = take(archive->copies(id));
    ASSERT_EQ(copies.size(), 2u);
    for (std::size_t i = 0; i < copies.size(); ++i) {
        const ArchivedReport& read = copies[i];
        const ArchivedReport& wrote = i == 0 ? first : second;
        SCOPED_TRACE(i);
        EXPECT_EQ(std::tie(read.copy, read.copyCount), std::make_tuple(i == 0 ? 1 : 2, 2));
        EXPECT_EQ(read.summary.reportName, wrote.summary.reportName);
        EXPECT_EQ(read.summary.transferredText(), wrote.summary.transferredText());
        EXPECT_EQ(
            std::tie(read.summary.verdict, read.summary.workbookPath, read.summary.workbookSha256),
            std::tie(wrote.summary.verdict, wrote.summary.workbookPath,
                     wrote.summary.workbookSha256));
        EXPECT_EQ(std::tie(read.eepromBytes, read.localeName, read.slotBytes),
                  std::tie(wrote.eepromBytes, wrote.localeName, wrote.slotBytes));
        expectSameValues(read.values, wrote.values);
    }
    const auto shown = take(archive->report(id));
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->copy, 2);
    expectSameValues(shown->values, second.values);

    // The newest copy's limits and name again, another calibration in the
    // EEPROM: the same workbook, already there. The first copy's again:
    // the newest transfer's, so kept as a third copy.
    ArchivedReport recalibrated = second;
    recalibrated.eepromBytes[0] = '\x7f';
    recalibrated.summary.transferredMs += 60'000;
    const auto same = take(archive->store(recalibrated));
    EXPECT_EQ(std::tie(same.outcome, same.copy),
              std::make_tuple(archive::StoreOutcome::AlreadyKept, 2));
    const auto back = take(archive->store(first));
    EXPECT_EQ(std::tie(back.outcome, back.copy),
              std::make_tuple(archive::StoreOutcome::KeptAgain, 3));
    EXPECT_EQ(take(archive->list({})).size(), 1u);
    EXPECT_EQ(take(archive->copies(id)).size(), 3u);
    EXPECT_TRUE(take(archive->copies(id + 1)).empty());

    // Archive contents are not trusted: a copy whose judging does not fit
    // its values is named, not shown against the wrong rows.
    ASSERT_TRUE(
        execDirectly(location, "UPDATE report_copy SET judged = '[]' WHERE copy_number = 2"));
    EXPECT_THAT(
        failureOf(archive->copies(id)).toStdString(),
        HasSubstr(QStringLiteral("report %1 is damaged (its copy 2").arg(id).toStdString()));
}

struct ListCase {
    const char* name;
    archive::ListFilter filter;
    std::vector<int> listed;  // of the reports listed, in order
};

TEST_P(ArchiveStoreTest, ListsFilteredAndInTimeOrder) {
    const auto archive = openArchive(location);
    // Slot 4 holds no saved time: its transfer time (local, +01:00) counts.
    const std::vector<ArchivedReport> reports{
        sampleReport(1001, 1, "Pump Station A", "2025-03-01T10:00:00", 1, "OK"),
        sampleReport(1001, 2, "TANK 100%", "2025-02-01T09:00:00", 2, "WARN"),
        sampleReport(1002, 3, "tank_farm", "2025-03-01T10:00:00", 3, "BAD"),
        sampleReport(1002, 4, "Kessel Süd", std::nullopt, 4, "OK"),
        sampleReport(1001, 5, "x' OR '1'='1", "2025-01-01T00:00:00", 5, "OK"),
    };
    for (const auto& report : reports) take(archive->store(report));

    const std::vector<ListCase> cases{
        {"everything, by time then slot", {}, {5, 2, 1, 3, 4}},
        {"part of a name, any case", {.text = "tank"}, {2, 3}},
        {"a percent sign is itself", {.text = "100%"}, {2}},
        {"an underscore is itself", {.text = "k_f"}, {3}},
        {"the report name matches too", {.text = "name 4"}, {4}},
        {"letters beyond ASCII fold", {.text = "SÜD"}, {4}},
        {"a quote is only text", {.text = "' OR '1'='1"}, {5}},
        {"tester", {.testerSerial = 1002}, {3, 4}},
        {"since is inclusive", {.since = "2025-03-01T10:00:00"}, {1, 3, 4}},
        {"until is inclusive", {.until = "2025-02-01T09:00:00"}, {5, 2}},
        {"the transfer time where none was saved",
         {.since = "2026-05-28T00:00:00", .until = "2026-05-28T23:59:59"},
         {4}},
        {"verdict", {.verdict = "OK"}, {5, 1, 4}},
        {"nothing matches", {.text = "absent"}, {}},
    };
    for (const ListCase& c : cases) {
        std::vector<int> listed;
        for (const auto& s : take(archive->list(c.filter))) listed.push_back(s.slot);
        EXPECT_EQ(listed, c.listed) << c.name;
    }
}

TEST_P(ArchiveStoreTest, TrendsOneValueOfMatchingReportsOldestFirst) {
    const auto archive = openArchive(location);
    take(archive->store(sampleReport(1001, 1, "Tank", "2025-03-01T10:00:00", 2, "OK")));
    take(archive->store(sampleReport(1001, 2, "Tank", "2025-02-01T10:00:00", 1, "OK")));
    take(archive->store(sampleReport(1001, 3, "Boiler", "2025-01-01T10:00:00", 3, "OK")));

    const auto voltage = take(archive->trend({"tank", "voltage", std::nullopt}));
    ASSERT_EQ(voltage.size(), 2u);
    EXPECT_EQ(voltage[0].time, QStringLiteral("2025-02-01T10:00:00"));
    EXPECT_EQ(voltage[0].value, 8601);
    EXPECT_EQ(voltage[1].value, 8602);
    EXPECT_EQ(voltage[1].limit, 9000);

    // The segment's signal (not available here) and one device's differ.
    const auto lowest = take(archive->trend({"tank", "signal", std::nullopt}));
    ASSERT_EQ(lowest.size(), 2u);
    EXPECT_EQ(lowest[0].value, std::nullopt);
    EXPECT_EQ(lowest[0].judgement, QString());
    const auto device = take(archive->trend({"tank", "signal", 20}));
    ASSERT_EQ(device.size(), 2u);
    EXPECT_EQ(device[0].value, 301);
    EXPECT_EQ(device[0].judgement, QStringLiteral("OK"));
    EXPECT_TRUE(take(archive->trend({"tank", "signal", 21})).empty());
}

TEST_P(ArchiveStoreTest, ANewerSchemaIsNeverWritten) {
    openArchive(location);
    ASSERT_TRUE(execDirectly(location, "UPDATE schema_version SET version = 99"));

    for (const auto access : {Archive::Access::ReadWrite, Archive::Access::ReadOnly}) {
        const QString failure = failureOf(Archive::open(location, access));
        EXPECT_THAT(failure.toStdString(), HasSubstr("newer program (schema version 99"));
    }
    ASSERT_TRUE(
        execDirectly(location, "UPDATE schema_version SET version = ?", {archive::kSchemaVersion}));
    EXPECT_TRUE(take(openArchive(location)->list({})).empty());
}

TEST_P(ArchiveStoreTest, ReadOnlyAccessNeverCreatesAnArchive) {
    const QString failure = failureOf(Archive::open(location, Archive::Access::ReadOnly));
    EXPECT_THAT(failure.toStdString(), HasSubstr("no archive there"));
    // Still empty: the read-write open below creates the schema at version 1.
    EXPECT_EQ(take(openArchive(location)->schemaVersion()), archive::kSchemaVersion);
    EXPECT_TRUE(take(openArchive(location, Archive::Access::ReadOnly)->list({})).empty());
}

TEST_P(ArchiveStoreTest, AReadOnlyArchiveRefusesWrites) {
    openArchive(location);
    const auto readOnly = openArchive(location, Archive::Access::ReadOnly);
    const QString failure = failureOf(readOnly->store(
        sampleReport(1001, 1, QStringLiteral("A"), std::nullopt, 1, QStringLiteral("OK"))));
    EXPECT_FALSE(failure.isEmpty());
    EXPECT_TRUE(take(readOnly->list({})).empty());
}

INSTANTIATE_TEST_SUITE_P(Engines, ArchiveStoreTest, kBothEngines, engineName);

class ArchiveMemberRightsTest : public ::testing::Test, protected FreshArchive {
  protected:
    void SetUp() override { make(Engine::Postgres); }
};

// A team member granted only the right to add reports (SELECT and INSERT)
// is told that a report is there already, and told plainly what keeping a
// changed report's new copy needs; the report stays as it was.
TEST_F(ArchiveMemberRightsTest, AMemberWhoMayOnlyAddReportsIsToldWhatAnotherCopyNeeds) {
    const ArchivedReport report =
        sampleReport(1001, 1, QStringLiteral("Tank"), std::nullopt, 1, QStringLiteral("OK"));
    const auto id = take(openArchive(location)->store(report)).id;
    const QString role = QStringLiteral("adder_%1").arg(::getpid());
    // CREATE on the schema only because every opening for writing still
    // creates the version table if missing.
    for (const QString& grant :
         {"CREATE ROLE " + role + " LOGIN", "GRANT CREATE ON SCHEMA public TO " + role,
          "GRANT SELECT, INSERT ON ALL TABLES IN SCHEMA public TO " + role,
          "GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO " + role}) {
        ASSERT_TRUE(execDirectly(location, grant));
    }
    ArchiveLocation member = location;
    member.user = role;
    {
        const auto archive = openArchive(member);
        ASSERT_TRUE(archive);
        EXPECT_EQ(take(archive->store(report)).outcome, archive::StoreOutcome::AlreadyKept);
        EXPECT_THAT(failureOf(archive->store(withOtherLimits(report, 2))).toStdString(),
                    HasSubstr("keeping this transfer's copy too needs the right to update and "
                              "delete in the archive's tables"));
    }
    const auto copies = take(openArchive(location)->copies(id));
    ASSERT_EQ(copies.size(), 1u);
    expectSameValues(copies[0].values, report.values);
    EXPECT_TRUE(execDirectly(location, "DROP OWNED BY " + role));
    EXPECT_TRUE(execDirectly(location, "DROP ROLE " + role));
}

TEST(ArchiveUnusableTest, SqliteFilesThatAreNoArchiveGiveAClearReason) {
    QTemporaryDir folder;
    for (const auto& c : kUnusableSqliteFiles) {
        ArchiveLocation location;
        location.engine = Engine::Sqlite;
        location.path = folder.filePath(QString::fromLatin1(c.name));
        c.make(location.path);
        for (const auto access : {Archive::Access::ReadWrite, Archive::Access::ReadOnly}) {
            EXPECT_THAT(failureOf(Archive::open(location, access)).toStdString(),
                        HasSubstr(c.reason))
                << c.name;
        }
    }
}

// Rows are read as they are listed: a failure among them (here a damaged
// report's row; on a server also a time-out or a lost connection) is the
// listing's failure, not a shorter list.
TEST(ArchiveUnusableTest, AFailureAmongTheRowsIsAnErrorNotAShortList) {
    QTemporaryDir folder;
    ArchiveLocation location;
    location.engine = Engine::Sqlite;
    location.path = folder.filePath(QStringLiteral("archive.sqlite"));
    {
        const auto archive = openArchive(location);
        for (int slot = 1; slot <= 4; ++slot) {
            take(archive->store(sampleReport(1001, slot, QStringLiteral("A"),
                                             QStringLiteral("2025-01-0%1T10:00:00").arg(slot), slot,
                                             QStringLiteral("OK"))));
        }
    }
    ASSERT_TRUE(execDirectly(location, "ALTER TABLE report RENAME TO report_rows"));
    ASSERT_TRUE(execDirectly(
        location,
        "CREATE VIEW report AS SELECT id, tester_serial, tester_kind, slot, location, "
        "report_name, search_key, saved, transferred_ms, utc_offset, report_time, devices, "
        "json(CASE WHEN slot = 3 THEN 'damaged' ELSE '\"OK\"' END) ->> '$' AS verdict, "
        "workbook_path, workbook_sha256 FROM report_rows"));
    const auto archive = openArchive(location, Archive::Access::ReadOnly);
    EXPECT_THAT(failureOf(archive->list({})).toStdString(), HasSubstr("malformed JSON"));
}

// Nor is the rest of the message changed where it happens to hold the
// password's text: it would tell the password.
TEST(ArchiveUnusableTest, APostgresPasswordNeverShows) {
    const QString socket = postgresSocketFolder();
    if (socket.isEmpty()) GTEST_SKIP() << "no PostgreSQL test server";
    for (const char* password : {"S3cret-pw", "s"}) {
        const auto parsed = archive::parseArchiveLocation(QStringLiteral("postgresql://ksx4:") +
                                                          password + "@/no_such_db?host=" + socket);
        const auto& location = std::get<ArchiveLocation>(parsed);
        const QString failure = failureOf(Archive::open(location));
        EXPECT_THAT(
            failure.toStdString(),
            HasSubstr(("Archive postgresql://ksx4@/no_such_db?host=" + socket).toStdString()));
        EXPECT_THAT(failure.toStdString(), HasSubstr("database \"no_such_db\" does not exist"));
        EXPECT_THAT(failure.toStdString(), Not(HasSubstr("S3cret")));
        EXPECT_THAT(failure.toStdString(), Not(HasSubstr("*")));
        EXPECT_EQ(location.displayText(), "postgresql://ksx4@/no_such_db?host=" + socket);
    }
}

}  // namespace
}  // namespace ksx4::test
