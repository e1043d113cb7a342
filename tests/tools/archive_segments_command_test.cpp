// ksx4ctl archive segments, diagnose and baseline over histories that
// transfers from the simulated tester filled visit by visit: the transfer's
// finding lines, the JSON keys, worst first, a baseline chosen by hand
// changing the comparison, its question, and an archive that cannot be
// written.
#include "archive_engines.h"
#include "ctl_command.h"
#include "platform/link_library.h"
#include "scripted_operator.h"
#include "tester_image.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace ksx4::ctl {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// One visit's report of a segment: four devices at about 800 mV.
struct Visit {
    std::string location;
    int day;  // of March 2026
    uint16_t device20 = 800;
    uint16_t voltage = 20000;
};

uint32_t ticksOf(int day) {
    const qint64 from =
        QDateTime(QDate(1972, 1, 1), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch();
    const qint64 to =
        QDateTime(QDate(2026, 3, day), QTime(10, 0), QTimeZone::utc()).toSecsSinceEpoch();
    return static_cast<uint32_t>((to - from) * 1000 / 2048);
}

sim::Report reportOf(const Visit& v) {
    sim::Report r;
    r.locationName = v.location;
    r.connectedTicks = ticksOf(v.day) - 300;
    r.savedTicks = ticksOf(v.day);
    r.voltage = v.voltage;
    r.lasAddress = 20;
    r.activeDevices = 4;
    const uint16_t levels[] = {v.device20, 810, 790, 805};
    for (int d = 0; d < 4; ++d) {
        r.devices[static_cast<std::size_t>(d)] =
            sim::DeviceEntry{.address = static_cast<uint8_t>(20 + d), .signal = levels[d]};
    }
    r.lowestSignal = *std::min_element(std::begin(levels), std::end(levels));
    r.lowestSignalAddress = static_cast<uint16_t>(
        20 + (std::min_element(std::begin(levels), std::end(levels)) - std::begin(levels)));
    r.lowestSignalTicks = ticksOf(v.day) - 100;
    return r;
}

class ArchiveSegmentsCommandTest : public ::testing::Test {
  protected:
    ArchiveSegmentsCommandTest() {
        simDir = std::filesystem::path(root.path().toStdString()) / "tester";
        std::filesystem::create_directories(simDir);
        ::setenv("KSX4_SIM_DIR", simDir.c_str(), 1);
        ::unsetenv("KSX4_ARCHIVE");
        archive = root.filePath("archive.sqlite");
    }

    // One transfer of the visits' reports (slots 1, 2, ...).
    int transfer(const std::vector<Visit>& visits) {
        sim::TesterImage image = sim::blankTester(false, 1001);
        int slot = 0;
        for (const Visit& v : visits) sim::storeReport(image, false, ++slot, reportOf(v));
        EXPECT_TRUE(sim::writeTester(simDir, 1, image));
        const QString out = root.filePath(QStringLiteral("out%1").arg(++transfers));
        std::filesystem::create_directories(out.toStdString());
        return run({"transfer", "--folder", out, "--yes", "--archive", archive});
    }
    // Healthy visits to Tank 3 and Boiler on days 1 and 5, then Tank 3 on
    // day 10 with device 20 fallen to 540 mV.
    void history() {
        ASSERT_EQ(transfer({{"Tank 3", 1}, {"Boiler", 1}}), kExitDone) << errors();
        ASSERT_EQ(transfer({{"TANK 3", 5}, {"Boiler", 5}}), kExitDone) << errors();
        ASSERT_EQ(transfer({{"Tank 3", 10, 540}}), kExitDone) << errors();
    }

    int run(const QStringList& arguments, const std::string& input = {}) {
        stdoutText.str({});
        stderrText.str({});
        std::istringstream in(input);
        CtlContext context{
            in,    stdoutText, stderrText,
            clock, link,       [this](std::chrono::milliseconds wait) { clock.advance(wait); }};
        return runKsx4ctl(arguments, context);
    }
    int runArchive(QStringList arguments, const std::string& input = {}) {
        return run(QStringList{"archive"} + arguments + QStringList{"--archive", archive}, input);
    }
    QJsonDocument json() const {
        return QJsonDocument::fromJson(QByteArray::fromStdString(stdoutText.str()));
    }
    std::string output() const { return stdoutText.str(); }
    std::string errors() const { return stderrText.str(); }

    QTemporaryDir root;
    std::filesystem::path simDir;
    QString archive;
    int transfers = 0;
    test::VirtualClock clock;  // 14 March 2026
    LinkLibrary link;
    std::ostringstream stdoutText, stderrText;
};

TEST_F(ArchiveSegmentsCommandTest, TheTransferTellsEachReportWithAnAlarmOrWarningAfterItsLine) {
    ASSERT_EQ(transfer({{"Tank 3", 1}, {"Boiler", 1}}), kExitDone) << errors();
    // Healthy reports add no line.
    EXPECT_THAT(output(), Not(HasSubstr("Tank 3:")));
    EXPECT_THAT(output(), Not(HasSubstr("Boiler:")));

    ASSERT_EQ(transfer({{"Tank 3", 10, 540}, {"Boiler", 10}}), kExitDone) << errors();
    const std::string archived = "Archived 2 reports in " + archive.toStdString() + "\n";
    const auto at = output().find(archived);
    ASSERT_NE(at, std::string::npos) << output();
    const std::string after = output().substr(at + archived.size());
    EXPECT_THAT(after, ::testing::StartsWith("Tank 3: device 20's signal down "));
    EXPECT_THAT(after, Not(HasSubstr("Boiler:")));
}

TEST_F(ArchiveSegmentsCommandTest, ListsSegmentsWorstFirstWithExactlyTheDocumentedKeys) {
    history();
    ASSERT_EQ(runArchive({"segments", "--format", "json"}), kExitDone) << errors();
    const QJsonArray segments = json().array();
    ASSERT_EQ(segments.size(), 2);
    const QJsonObject tank = segments[0].toObject();
    EXPECT_EQ(tank.keys(), (QStringList{"days_since_last", "first_report", "last_report",
                                        "last_verdict", "name", "reports", "worst_finding"}));
    EXPECT_EQ(tank["name"].toString(), "Tank 3");
    EXPECT_EQ(tank["reports"].toInt(), 3);
    EXPECT_THAT(tank["first_report"].toString().toStdString(),
                ::testing::StartsWith("2026-03-01T"));
    EXPECT_THAT(tank["last_report"].toString().toStdString(), ::testing::StartsWith("2026-03-10T"));
    EXPECT_EQ(tank["days_since_last"].toInt(), 4);
    const QJsonObject worst = tank["worst_finding"].toObject();
    EXPECT_EQ(worst.keys(), (QStringList{"code", "severity", "summary"}));
    EXPECT_EQ(worst["code"].toString(), "signal-device-down");
    EXPECT_EQ(worst["severity"].toString(), "warning");
    // The listing reads fewer of each report's values than diagnose does,
    // and says the same.
    ASSERT_EQ(runArchive({"diagnose", "--segment", "Tank 3", "--format", "json"}), kExitDone);
    EXPECT_EQ(json().object()["findings"].toArray()[0].toObject()["summary"], worst["summary"]);
    const QJsonObject boiler = segments[1].toObject();
    EXPECT_EQ(boiler["name"].toString(), "Boiler");
    EXPECT_TRUE(boiler["worst_finding"].isNull());

    ASSERT_EQ(runArchive({"segments", "--format", "csv"}), kExitDone);
    EXPECT_THAT(output(), ::testing::StartsWith("name,reports,first_report,last_report,"
                                                "last_verdict,days_since_last,severity,finding,"
                                                "summary\nTank 3,3,"));
    ASSERT_EQ(runArchive({"segments"}), kExitDone);
    EXPECT_THAT(output(), HasSubstr("warning: Device 20"));
}

TEST_F(ArchiveSegmentsCommandTest, DiagnosesAReportOrASegmentsLatestAgainstItsBaseline) {
    history();
    ASSERT_EQ(runArchive({"diagnose", "--segment", " tank 3", "--format", "json"}), kExitDone)
        << errors();
    const QJsonObject result = json().object();
    EXPECT_EQ(result.keys(), (QStringList{"baseline", "findings", "report"}));
    const QJsonObject report = result["report"].toObject();
    EXPECT_EQ(report.keys(), (QStringList{"id", "segment", "time"}));
    EXPECT_EQ(report["id"].toInt(), 5);
    EXPECT_EQ(report["segment"].toString(), "Tank 3");
    const QJsonObject baseline = result["baseline"].toObject();
    EXPECT_EQ(baseline.keys(), (QStringList{"id", "time"}));
    EXPECT_EQ(baseline["id"].toInt(), 1);
    const QJsonArray findings = result["findings"].toArray();
    ASSERT_FALSE(findings.isEmpty());
    const QJsonObject first = findings[0].toObject();
    EXPECT_EQ(first.keys(), (QStringList{"causes", "check", "code", "device", "severity", "subject",
                                         "summary", "values"}));
    EXPECT_EQ(first["code"].toString(), "signal-device-down");
    EXPECT_EQ(first["device"].toInt(), 20);

    // The segment's first report has nothing before it and nothing wrong.
    ASSERT_EQ(runArchive({"diagnose", "1", "--format", "json"}), kExitDone) << errors();
    EXPECT_TRUE(json().object()["baseline"].isNull());
    EXPECT_TRUE(json().object()["findings"].toArray().isEmpty());
    ASSERT_EQ(runArchive({"diagnose", "5"}), kExitDone);
    EXPECT_THAT(output(), HasSubstr("WARNING [signal-device-down] Device 20"));
    EXPECT_THAT(output(), HasSubstr("Compared with report 1 of 2026-03-01"));
}

TEST_F(ArchiveSegmentsCommandTest, ABaselineChosenByHandChangesTheComparisonAfterTheQuestion) {
    history();
    const auto firstCode = [this] {
        EXPECT_EQ(runArchive({"diagnose", "--segment", "Tank 3", "--format", "json"}), kExitDone);
        const QJsonArray findings = json().object()["findings"].toArray();
        return findings.isEmpty() ? QString() : findings[0].toObject()["code"].toString();
    };
    // Answered no: nothing changes.
    EXPECT_EQ(runArchive({"baseline", "5"}, "no\n"), kExitFailed);
    EXPECT_THAT(errors(), HasSubstr("Compare the reports of Tank 3 with report 5 of 2026-03-10"));
    EXPECT_EQ(firstCode(), "signal-device-down");

    // Tank 3's latest report as its own baseline: a fourth visit like it
    // shows nothing, where the earliest report would.
    ASSERT_EQ(runArchive({"baseline", "5", "--yes"}), kExitDone) << errors();
    EXPECT_THAT(output(), HasSubstr("The baseline of Tank 3 is report 5 of 2026-03-10"));
    ASSERT_EQ(transfer({{"Tank 3", 12, 545}}), kExitDone) << errors();
    EXPECT_THAT(output(), Not(HasSubstr("Tank 3:")));
    EXPECT_EQ(firstCode(), QString());
    EXPECT_EQ(json().object()["baseline"].toObject()["id"].toInt(), 5);
    ASSERT_EQ(runArchive({"baseline", "--segment", "TANK 3"}), kExitDone);
    EXPECT_THAT(output(), HasSubstr("Tank 3: report 5 of 2026-03-10"));

    ASSERT_EQ(runArchive({"baseline", "--clear", "--segment", "tank 3", "--yes"}), kExitDone)
        << errors();
    EXPECT_EQ(firstCode(), "signal-device-down");
    EXPECT_EQ(json().object()["baseline"].toObject()["id"].toInt(), 1);
}

TEST_F(ArchiveSegmentsCommandTest, ExitCodesFollowTheOutcome) {
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* error;
    };
    EXPECT_EQ(runArchive({"segments"}), kExitFailed);
    EXPECT_THAT(errors(), HasSubstr("no archive there"));
    EXPECT_FALSE(QFile::exists(archive));
    EXPECT_EQ(runArchive({"baseline", "1", "--yes"}), kExitFailed);
    EXPECT_FALSE(QFile::exists(archive));  // nothing made before the answer

    ASSERT_EQ(transfer({{"Tank 3", 1}}), kExitDone) << errors();
    const std::vector<Case> cases{
        {{"segments", "--format", "csv"}, kExitDone, ""},
        {{"diagnose", "99"}, kExitFailed, "the archive holds no report 99"},
        {{"diagnose", "--segment", "Boiler"}, kExitFailed, "the archive holds no segment Boiler"},
        {{"baseline", "99", "--yes"}, kExitFailed, "The archive holds no report 99"},
        {{"baseline", "--clear", "--segment", "x", "--yes"},
         kExitFailed,
         "The archive holds no segment x"},
        {{"diagnose"}, kExitUsage, "diagnose needs a report ID or --segment NAME"},
        {{"diagnose", "1", "--segment", "a"}, kExitUsage, "diagnose needs a report ID or"},
        {{"diagnose", "1", "--format", "csv"}, kExitUsage, "diagnose writes text or json"},
        {{"segments", "1"}, kExitUsage, "segments takes no report ID"},
        {{"segments", "--format", "text"}, kExitUsage, "segments writes table, csv or json"},
        {{"baseline"}, kExitUsage, "baseline needs a report ID, or --clear --segment NAME"},
        {{"baseline", "1", "--clear"}, kExitUsage, "baseline takes a report ID, or --segment"},
        {{"baseline", "--segment", " "}, kExitUsage, "--segment needs a name"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(runArchive(c.arguments), c.exitCode) << c.arguments.join(' ').toStdString();
        EXPECT_THAT(errors(), HasSubstr(c.error)) << c.arguments.join(' ').toStdString();
    }
}

// A server that takes no writes: the choice is refused with its reason
// and the transfer's lines are unchanged.
TEST_F(ArchiveSegmentsCommandTest, AnArchiveThatCannotBeWrittenRefusesABaselineWithTheReason) {
    QString skip;
    const auto location = test::freshArchive(test::Engine::Postgres, root, &skip);
    if (!location) GTEST_SKIP() << skip.toStdString();
    archive = QStringLiteral("postgresql://%1@/%2?host=%3")
                  .arg(location->user, location->databaseName, location->host);
    ASSERT_EQ(transfer({{"Tank 3", 1}}), kExitDone) << errors();
    ASSERT_TRUE(test::execDirectly(*location, "ALTER DATABASE " + location->databaseName +
                                                  " SET default_transaction_read_only = on"));
    EXPECT_EQ(runArchive({"baseline", "1", "--yes"}), kExitFailed);
    EXPECT_THAT(errors(), HasSubstr("The baseline was not changed."));
    EXPECT_THAT(errors(), HasSubstr("read-only transaction"));
    ASSERT_EQ(runArchive({"baseline", "--segment", "Tank 3"}), kExitDone) << errors();
    EXPECT_THAT(output(), HasSubstr("(the earliest report)"));
}

}  // namespace
}  // namespace ksx4::ctl
