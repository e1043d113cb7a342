// ksx4ctl archive in-process over an archive a transfer filled: the JSON
// keys, filters, trends, exit codes and usage errors, and a PostgreSQL
// password that never shows.
#include "archive_engines.h"
#include "ctl_command.h"
#include "platform/link_library.h"
#include "scripted_operator.h"
#include "tester_image.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace ksx4::ctl {
namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

using ::testing::HasSubstr;
using ::testing::Not;

class ArchiveCommandTest : public ::testing::Test {
  protected:
    ArchiveCommandTest() {
        simDir = std::filesystem::path(root.path().toStdString()) / "tester";
        std::filesystem::create_directories(simDir);
        ::setenv("KSX4_SIM_DIR", simDir.c_str(), 1);
        ::unsetenv("KSX4_ARCHIVE");
        archivePath = root.filePath("archive.sqlite");
    }

    // Transfers a sample tester's reports into the archive.
    void transferSample(const sim::SampleOptions& options) {
        transferSample(sim::sampleTester(options));
    }
    void transferSample(const sim::TesterImage& image) {
        ASSERT_TRUE(sim::writeTester(simDir, 1, image));
        const QString out = root.filePath("out");
        std::filesystem::create_directories(out.toStdString());
        ASSERT_EQ(run({"transfer", "--folder", out, "--yes", "--archive", archivePath}), kExitDone)
            << errors();
    }

    int run(const QStringList& arguments) {
        stdoutText.str({});
        stderrText.str({});
        std::istringstream in;
        CtlContext context{
            in,    stdoutText, stderrText,
            clock, link,       [this](std::chrono::milliseconds wait) { clock.advance(wait); }};
        return runKsx4ctl(arguments, context);
    }
    int runArchive(QStringList arguments) {
        return run(QStringList{"archive"} + arguments + QStringList{"--archive", archivePath});
    }
    QJsonDocument json() const {
        return QJsonDocument::fromJson(QByteArray::fromStdString(stdoutText.str()));
    }
    std::string errors() const { return stderrText.str(); }

    QTemporaryDir root;
    std::filesystem::path simDir;
    QString archivePath;
    test::VirtualClock clock;
    LinkLibrary link;
    std::ostringstream stdoutText, stderrText;
};

TEST_F(ArchiveCommandTest, ListsReportsAsJsonWithExactlyTheDocumentedKeys) {
    transferSample({.reports = 8, .devices = 32, .variedNames = true});

    ASSERT_EQ(runArchive({"list", "--format", "json"}), kExitDone) << errors();
    const QJsonArray reports = json().array();
    ASSERT_EQ(reports.size(), 8);
    const QJsonObject first = reports.first().toObject();
    EXPECT_EQ(first.keys(), (QStringList{"devices", "id", "location", "report_name", "saved",
                                         "slot", "tester_kind", "tester_serial", "transferred",
                                         "verdict", "workbook", "workbook_sha256"}));
    EXPECT_EQ(first["tester_kind"].toString(), "KSX-4");
    EXPECT_EQ(first["tester_serial"].toInt(), 1001);
    EXPECT_EQ(first["devices"].toInt(), 32);
    EXPECT_THAT(first["transferred"].toString().toStdString(),
                ::testing::MatchesRegex("[0-9-]{10}T[0-9:]{8}[+-][0-9]{2}:[0-9]{2}"));
    EXPECT_EQ(first["workbook_sha256"].toString().size(), 64);
    QString previous;
    for (const auto& report : reports) {
        const QString saved = report.toObject()["saved"].toString();
        EXPECT_LE(previous, saved);  // oldest first
        previous = saved;
    }

    // A filter by part of a location name, in another case.
    const QString location = first["location"].toString();
    ASSERT_EQ(runArchive({"list", "--format", "json", "--location", location.toUpper()}),
              kExitDone);
    EXPECT_GE(json().array().size(), 1);
    for (const auto& report : json().array())
        EXPECT_EQ(report.toObject()["location"].toString(), location);

    ASSERT_EQ(runArchive({"list", "--format", "json", "--since", "2100-01-01"}), kExitDone);
    EXPECT_TRUE(json().array().isEmpty());
}

TEST_F(ArchiveCommandTest, ShowsAndTrendsTheJudgedValues) {
    transferSample({.reports = 3, .devices = 4});

    ASSERT_EQ(runArchive({"show", "2", "--format", "json"}), kExitDone) << errors();
    const QJsonObject report = json().object();
    EXPECT_EQ(report["slot"].toInt(), 2);
    const QJsonArray values = report["values"].toArray();
    EXPECT_EQ(values.size(), 10 + 3 * 4);
    const QJsonObject voltage = values.first().toObject();
    EXPECT_EQ(voltage["measure"].toString(), "voltage");
    EXPECT_TRUE(voltage["device"].isNull());
    EXPECT_FALSE(voltage["judgement"].toString().isEmpty());

    ASSERT_EQ(
        runArchive({"trend", "--location", "report", "--measure", "voltage", "--format", "json"}),
        kExitDone);
    const QJsonArray points = json().array();
    ASSERT_EQ(points.size(), 3);
    EXPECT_EQ(points.first().toObject().keys(),
              (QStringList{"judgement", "limit", "location", "report_id", "time", "value"}));
    EXPECT_EQ(points[1].toObject()["value"], voltage["value"]);

    const int device = values[10].toObject()["device"].toInt();
    ASSERT_EQ(runArchive({"trend", "--location", "report", "--measure", "retransmits", "--device",
                          QString::number(device), "--format", "csv"}),
              kExitDone);
    EXPECT_THAT(stdoutText.str(), HasSubstr("report_id,time,location,value,limit,judgement\n"));
}

// Transferred again after the voltage limit changed (the erase never
// reached the tester): listed once, shown as judged last, and each copy's
// workbook made again as its transfer wrote it.
TEST_F(ArchiveCommandTest, EachCopyOfAReportTransferredAgainIsShownAndMadeAgain) {
    transferSample({.reports = 2, .devices = 2});
    ASSERT_EQ(runArchive({"show", "1", "--format", "json"}), kExitDone) << errors();
    // The next transfer writes its workbook under the same name.
    const QByteArray first = fileBytes(json().object()["workbook"].toString());
    ASSERT_FALSE(first.isEmpty());
    sim::TesterImage changed = sim::sampleTester({.reports = 2, .devices = 2});
    sim::setEepromWord(changed, 236, 30000);
    transferSample(changed);
    EXPECT_THAT(stdoutText.str(), HasSubstr("Archived 2 reports in " + archivePath.toStdString() +
                                            " (2 kept again with changed limits or names)"));

    ASSERT_EQ(runArchive({"list", "--format", "json"}), kExitDone);
    EXPECT_EQ(json().array().size(), 2);
    ASSERT_EQ(runArchive({"show", "1", "--format", "json"}), kExitDone) << errors();
    const QJsonObject newest = json().object();
    EXPECT_EQ(newest["copy"].toInt(), 2);
    EXPECT_EQ(newest["verdict"].toString(), "BAD");
    EXPECT_EQ(newest["values"].toArray().first().toObject()["limit"].toInt(), 30000);
    const QJsonArray copies = newest["copies"].toArray();
    ASSERT_EQ(copies.size(), 2);
    EXPECT_EQ(copies[0].toObject().keys(),
              (QStringList{"copy", "locale", "program_version", "report_name", "transferred",
                           "verdict", "workbook", "workbook_sha256"}));
    EXPECT_EQ(copies[1].toObject()["workbook_sha256"], newest["workbook_sha256"]);

    ASSERT_EQ(runArchive({"show", "1", "--copy", "1", "--format", "json"}), kExitDone);
    EXPECT_EQ(json().object()["copy"].toInt(), 1);
    EXPECT_EQ(json().object()["values"].toArray().first().toObject()["limit"].toInt(), 9000);
    EXPECT_EQ(json().object()["workbook_sha256"], copies[0].toObject()["workbook_sha256"]);
    ASSERT_EQ(runArchive({"show", "1"}), kExitDone);
    EXPECT_THAT(stdoutText.str(), HasSubstr("Copy         2 of 2, the newest\n"));
    EXPECT_THAT(stdoutText.str(), HasSubstr("COPY  TRANSFERRED"));

    const QString again = root.filePath("again.xls");
    ASSERT_EQ(runArchive({"workbook", "1", "--copy", "1", "--out", again}), kExitDone) << errors();
    EXPECT_EQ(fileBytes(again), first);
    ASSERT_EQ(runArchive({"workbook", "1", "--out", again, "--yes"}), kExitDone) << errors();
    EXPECT_EQ(fileBytes(again), fileBytes(newest["workbook"].toString()));
    EXPECT_NE(fileBytes(again), first);
    EXPECT_EQ(runArchive({"pdf", "1", "--copy", "3", "--out", root.filePath("x.pdf")}),
              kExitFailed);
    EXPECT_THAT(errors(), HasSubstr("report 1 has no copy 3 (the archive keeps 2)"));
}

// Report times are the tester's clock: a bound names a whole day or
// minute, and a time zone, which nothing could be compared in, is refused.
TEST_F(ArchiveCommandTest, TimeBoundsTakeInTheWholeMinuteAndRefuseAZone) {
    transferSample({.reports = 8, .devices = 2});
    ASSERT_EQ(runArchive({"list", "--format", "json"}), kExitDone);
    QString saved;
    for (const auto& report : json().array()) {
        const QString time = report.toObject()["saved"].toString();
        if (!time.endsWith(":00")) saved = time;
    }
    ASSERT_FALSE(saved.isEmpty());
    const QString minute = saved.left(16);
    for (const char* bound : {"--until", "--since"}) {
        ASSERT_EQ(runArchive({"list", "--format", "json", bound, minute}), kExitDone) << errors();
        const QJsonArray reports = json().array();
        EXPECT_TRUE(std::any_of(
            reports.begin(), reports.end(),
            [&](const QJsonValue& r) { return r.toObject()["saved"].toString() == saved; }))
            << bound << " " << minute.toStdString();
    }
    for (const QString& zoned : {minute + "Z", minute + "+02:00", saved + "-0500"}) {
        EXPECT_EQ(runArchive({"list", "--until", zoned}), kExitUsage) << zoned.toStdString();
        EXPECT_THAT(errors(), HasSubstr("no time zone")) << zoned.toStdString();
    }
    EXPECT_EQ(runArchive({"list", "--since", "2025-08-19T24:00"}), kExitUsage);
    EXPECT_THAT(errors(), HasSubstr("not an ISO 8601 day or time"));
}

// A location name from the tester may hold a line break: a table row stays
// one line, CSV quotes it, JSON keeps it.
TEST_F(ArchiveCommandTest, ALineBreakInANameKeepsATableRowOnOneLine) {
    sim::TesterImage image = sim::sampleTester({.reports = 1, .devices = 2});
    sim::Report report;
    report.locationName = "Tank\r\nNorth";
    report.savedTicks = 511632656;
    sim::storeReport(image, false, 1, report);
    transferSample(image);

    ASSERT_EQ(runArchive({"list"}), kExitDone);
    const std::string table = stdoutText.str();
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 2) << table;
    EXPECT_THAT(table, HasSubstr("Tank  North"));
    ASSERT_EQ(runArchive({"trend", "--location", "north", "--measure", "voltage"}), kExitDone);
    const std::string trend = stdoutText.str();
    EXPECT_EQ(std::count(trend.begin(), trend.end(), '\n'), 2) << trend;
    ASSERT_EQ(runArchive({"segments"}), kExitDone);
    const std::string segments = stdoutText.str();
    EXPECT_EQ(std::count(segments.begin(), segments.end(), '\n'), 2) << segments;
    ASSERT_EQ(runArchive({"segments", "--format", "csv"}), kExitDone);
    EXPECT_THAT(stdoutText.str(), HasSubstr("\"Tank\r\nNorth\","));
    ASSERT_EQ(runArchive({"list", "--format", "csv"}), kExitDone);
    EXPECT_THAT(stdoutText.str(), HasSubstr(",\"Tank\r\nNorth\","));
    ASSERT_EQ(runArchive({"list", "--format", "json"}), kExitDone);
    EXPECT_EQ(json().array().first().toObject()["location"].toString(), "Tank\r\nNorth");
}

// A segment is one stored location name, blanks around it and case aside:
// "Boiler House 21" is another segment, though --location's part matches it.
TEST_F(ArchiveCommandTest, TrendOfASegmentTakesItsReportsAloneWhileLocationMatchesParts) {
    sim::TesterImage image = sim::sampleTester({.reports = 3, .devices = 2});
    const char* const names[] = {"Boiler House 2", " boiler HOUSE 2", "Boiler House 21"};
    for (int slot = 1; slot <= 3; ++slot) {
        sim::Report report;
        report.locationName = names[slot - 1];
        report.savedTicks = 511632656 + slot * 1000;
        sim::storeReport(image, false, slot, report);
    }
    transferSample(image);

    ASSERT_EQ(runArchive({"trend", "--segment", "BOILER house 2 ", "--measure", "voltage",
                          "--format", "json"}),
              kExitDone)
        << errors();
    QStringList charted;
    for (const QJsonValue& p : json().array()) charted << p.toObject()["location"].toString();
    ASSERT_EQ(charted.size(), 2) << charted.join('|').toStdString();
    EXPECT_EQ(charted[0], "Boiler House 2");
    EXPECT_EQ(charted[1].trimmed(), "boiler HOUSE 2");
    ASSERT_EQ(runArchive({"trend", "--location", "Boiler House 2", "--measure", "voltage",
                          "--format", "json"}),
              kExitDone);
    EXPECT_EQ(json().array().size(), 3);
}

TEST_F(ArchiveCommandTest, ExitCodesFollowTheOutcome) {
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* error;
    };
    // Before any transfer: no archive there.
    EXPECT_EQ(runArchive({"list"}), kExitFailed);
    EXPECT_THAT(errors(), HasSubstr("no archive there"));
    EXPECT_FALSE(QFile::exists(archivePath));  // reading never creates one

    transferSample({.reports = 1, .devices = 2});
    EXPECT_THAT(stdoutText.str(),
                HasSubstr("Archived 1 report in " + archivePath.toStdString() + "\n"));
    const std::vector<Case> cases{
        {{"list"}, kExitDone, ""},
        {{"list", "--location", "absent", "--format", "csv"}, kExitDone, ""},
        {{"show", "99"}, kExitFailed, "the archive holds no report 99"},
        {{"workbook", "99", "--out", "x.xls"}, kExitFailed, "the archive holds no report 99"},
        {{"pdf", "99", "--out", "x.pdf"}, kExitFailed, "the archive holds no report 99"},
        {{},
         kExitUsage,
         "archive needs list, show, workbook, pdf, trend, segments, diagnose or baseline"},
        {{"erase"}, kExitUsage, "unknown archive command: erase"},
        {{"show"}, kExitUsage, "show needs a report ID"},
        {{"workbook", "1"}, kExitUsage, "workbook needs --out FILE"},
        {{"pdf", "1"}, kExitUsage, "pdf needs --out FILE"},
        {{"pdf", "--out", "x.pdf"}, kExitUsage, "pdf needs a report ID"},
        {{"pdf", "1", "2", "--out", "x.pdf"}, kExitUsage, "unexpected argument: 2"},
        {{"list", "--verdict", "FINE"}, kExitUsage, "--verdict needs OK, WARN or BAD"},
        {{"list", "--since", "yesterday"}, kExitUsage, "not an ISO 8601 day or time"},
        {{"list", "--format", "xml"}, kExitUsage, "unknown format: xml"},
        {{"show", "1", "--copy", "0"}, kExitUsage, "--copy needs a copy number from 1"},
        {{"list", "--copy", "1"}, kExitUsage, "--copy belongs to show, workbook and pdf"},
        {{"trend", "--measure", "voltage"},
         kExitUsage,
         "trend needs --segment NAME or --location TEXT"},
        {{"trend", "--segment", "a", "--location", "a", "--measure", "voltage"},
         kExitUsage,
         "trend takes --segment or --location, not both"},
        {{"list", "--segment", "a"}, kExitUsage, "--segment belong to trend"},
        {{"trend", "--location", "a", "--measure", "noise"}, kExitUsage, "unknown measure: noise"},
        {{"trend", "--location", "a", "--measure", "retransmits"},
         kExitUsage,
         "retransmits needs --device ADDRESS"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(runArchive(c.arguments), c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_THAT(errors(), HasSubstr(c.error)) << c.arguments.join(' ').toStdString();
    }
}

TEST_F(ArchiveCommandTest, APostgresPasswordNeverShows) {
    const QString socket = test::postgresSocketFolder();
    if (socket.isEmpty()) GTEST_SKIP() << "no PostgreSQL test server";
    ASSERT_TRUE(sim::writeTester(simDir, 1, sim::sampleTester({.reports = 2, .devices = 2})));
    const QString out = root.filePath("out");
    std::filesystem::create_directories(out.toStdString());
    const QString uri = "postgresql://ksx4:S3cret-pw@/no_such_db?host=" + socket;

    EXPECT_EQ(run({"transfer", "--folder", out, "--yes", "--verbose", "--archive", uri}),
              kExitFailed);
    const std::string everything = stdoutText.str() + errors();
    EXPECT_THAT(everything, HasSubstr("postgresql://ksx4@/no_such_db?host="));
    EXPECT_THAT(everything, Not(HasSubstr("S3cret")));
    EXPECT_EQ(run({"archive", "list", "--archive", uri}), kExitFailed);
    EXPECT_THAT(errors(), Not(HasSubstr("S3cret")));
}

}  // namespace
}  // namespace ksx4::ctl
