// The transfer keeps every report in the archive, on both engines: the
// workbooks made again from it byte for byte, nothing stored twice, and an
// archive that cannot take the reports keeps them on the tester.
#include "archive_engines.h"
#include "report/rebuild_workbook.h"
#include "report/report_copies.h"
#include "report/transfer.h"
#include "transfer_fixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <map>

namespace ksx4::test {
namespace {

using ::testing::HasSubstr;

constexpr int kValuesOf32DeviceReport = 10 + 3 * 32;

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<archive::ReportSummary> listed(const archive::ArchiveLocation& location) {
    auto opened = archive::Archive::open(location, archive::Archive::Access::ReadOnly);
    if (auto* error = std::get_if<archive::ArchiveError>(&opened)) {
        ADD_FAILURE() << error->reason.toStdString();
        return {};
    }
    return std::get<std::vector<archive::ReportSummary>>(
        std::get<std::unique_ptr<archive::Archive>>(opened)->list({}));
}

class TransferArchiveTest : public TransferTest,
                            public ::testing::WithParamInterface<Engine>,
                            protected FreshArchive {
  protected:
    void SetUp() override {
        make(GetParam());
        if (IsSkipped()) return;
        putTester(sim::sampleTester({.reports = 8, .devices = 32}));
        session.copies = ReportCopies(location);
    }
};

// The status list's "Archived ..." line of the last transfer; the finding
// lines of its reports follow it.
QString archivedLineOf(const QStringList& list) {
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        if (it->startsWith(QLatin1String("Archived "))) return *it;
    }
    return {};
}

TEST_P(TransferArchiveTest, EveryReportIsArchivedAndItsWorkbookMadeAgainByteForByte) {
    transfer();

    ASSERT_EQ(outcome, Outcome::Done);
    EXPECT_EQ(eraseIndicator(), 0x5555);
    EXPECT_EQ(ui.statusHistory.back(), QStringLiteral("Transferred all reports.  Ready..."));
    EXPECT_EQ(archivedLineOf(ui.list),
              QStringLiteral("Archived 8 reports in ") + location.displayText());
    // After it, the reports' finding lines and nothing else.
    const std::vector<QString> findings = session.copies.findingLines();
    ASSERT_LE(findings.size() + 1, static_cast<std::size_t>(ui.list.size()));
    EXPECT_EQ(ui.list[ui.list.size() - static_cast<qsizetype>(findings.size()) - 1],
              archivedLineOf(ui.list));
    for (const QString& line : findings) EXPECT_TRUE(line.startsWith(QLatin1String("Report ")));
    const auto reports = listed(location);
    ASSERT_EQ(reports.size(), 8u);
    auto archive = std::get<std::unique_ptr<archive::Archive>>(archive::Archive::open(location));
    for (const auto& summary : reports) {
        const auto report =
            std::get<std::optional<archive::ArchivedReport>>(archive->report(summary.id));
        ASSERT_TRUE(report);
        EXPECT_EQ(report->values.size(), static_cast<std::size_t>(kValuesOf32DeviceReport));
        const QString again = folder.filePath(QStringLiteral("again.xls"));
        QFile::remove(again);
        ASSERT_EQ(rebuildWorkbook(state, *report, again), Outcome::Done);
        EXPECT_EQ(fileBytes(again), fileBytes(summary.workbookPath))
            << summary.workbookPath.toStdString();
    }

    // The same reports again (the tester kept them): stored once.
    putTester(sim::sampleTester({.reports = 8, .devices = 32}));
    session.copies = ReportCopies(location);
    ui.answers.assign(8, Answer::Yes);  // replace each workbook
    transfer();
    EXPECT_EQ(outcome, Outcome::Done);
    EXPECT_EQ(listed(location).size(), 8u);
    EXPECT_THAT(archivedLineOf(ui.list).toStdString(), HasSubstr("(8 already there)"));
}

// The erase did not reach the tester, and its voltage limit and one report
// name changed before the next transfer: that transfer's workbooks, judged
// against the new limit, are kept too, and both copies of each report are
// made again byte for byte, while the archive still lists each report once.
TEST_P(TransferArchiveTest, AReportTransferredAgainWithNewLimitsKeepsBothWorkbooks) {
    transfer();
    ASSERT_EQ(outcome, Outcome::Done);
    std::map<QString, QByteArray> firstWorkbooks;
    for (const auto& summary : listed(location))
        firstWorkbooks[summary.workbookPath] = fileBytes(summary.workbookPath);

    sim::TesterImage changed = sim::sampleTester({.reports = 8, .devices = 32});
    sim::setEepromWord(changed, 236, 30000);         // above every report's voltage
    sim::setEepromText(changed, 131, 15, "Boiler");  // slot 2's report name
    putTester(changed);
    session.copies = ReportCopies(location);
    transfer();  // replacing the workbooks whose names stayed

    ASSERT_EQ(outcome, Outcome::Done);
    EXPECT_EQ(ui.list.back(), QStringLiteral("Archived 8 reports in ") + location.displayText() +
                                  QStringLiteral(" (8 kept again with changed limits or names)"));
    const auto reports = listed(location);
    ASSERT_EQ(reports.size(), 8u);
    auto archive = std::get<std::unique_ptr<archive::Archive>>(archive::Archive::open(location));
    const QString again = folder.filePath(QStringLiteral("again.xls"));
    for (const auto& summary : reports) {
        SCOPED_TRACE(summary.slot);
        EXPECT_EQ(summary.verdict, QStringLiteral("BAD"));
        EXPECT_EQ(summary.reportName, summary.slot == 2
                                          ? QStringLiteral("Boiler")
                                          : QStringLiteral("Report %1").arg(summary.slot));
        const auto copies =
            std::get<std::vector<archive::ArchivedReport>>(archive->copies(summary.id));
        ASSERT_EQ(copies.size(), 2u);
        EXPECT_EQ(copies[1].summary.workbookSha256, summary.workbookSha256);
        for (const auto& copy : copies) {
            const QString& path = copy.summary.workbookPath;
            QFile::remove(again);
            ASSERT_EQ(rebuildWorkbook(state, copy, again), Outcome::Done);
            EXPECT_EQ(fileBytes(again), copy.copy == 1 ? firstWorkbooks[path] : fileBytes(path))
                << path.toStdString();
        }
    }
    // Slot 2's first workbook, under its old name, is still beside the new.
    EXPECT_EQ(workbooks().size(), 9);
}

// The window passes the archive its archive window shows (a team's server,
// say); the reports must go there, not into the default file.
TEST_P(TransferArchiveTest, TheArchiveTheCallerChoseTakesTheReports) {
    QTemporaryDir data;
    ::setenv("XDG_DATA_HOME", qPrintable(data.path()), 1);
    ::unsetenv(archive::kArchiveEnvironment);
    ui.folders.push_back(out);

    outcome = cmddownloaddata_Click(state, {.archive = location});

    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(outcome, Outcome::Done);
    EXPECT_EQ(eraseIndicator(), 0x5555);
    EXPECT_EQ(listed(location).size(), 8u);
    EXPECT_FALSE(QDir(data.filePath(QStringLiteral("ksx4-assistant"))).exists());
}

INSTANTIATE_TEST_SUITE_P(Engines, TransferArchiveTest, kBothEngines, engineName);

class UnusableArchiveTest : public TransferTest {};

TEST_F(UnusableArchiveTest, WorkbooksAreWrittenButTheReportsStayOnTheTester) {
    QTemporaryDir folder;
    for (const auto& c : kUnusableSqliteFiles) {
        putTester(sim::sampleTester({.reports = 3, .devices = 4}));
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        archive::ArchiveLocation location;
        location.engine = Engine::Sqlite;
        location.path = folder.filePath(QString::fromLatin1(c.name));
        c.make(location.path);
        session.copies = ReportCopies(location);
        ui.messages.clear();

        transfer();

        EXPECT_EQ(outcome, Outcome::Failed) << c.name;
        EXPECT_EQ(workbooks().size(), 3) << c.name;
        EXPECT_EQ(eraseIndicator(), 0) << c.name;
        ASSERT_EQ(ui.messages.size(), 1u) << c.name;
        EXPECT_THAT(ui.messages.back().text.toStdString(), HasSubstr(c.reason));
        EXPECT_THAT(ui.messages.back().text.toStdString(),
                    HasSubstr("Reports will not be erased in the KSX-4"));
        EXPECT_EQ(ui.statusHistory.back(), QStringLiteral("Transferred all reports.  Ready..."));
        for (const QString& line : ui.list) EXPECT_FALSE(line.startsWith("Archived")) << c.name;
    }
}

// A server of its own, stopped while the third report's workbook is built.
TEST_F(TransferTest, APostgresServerStoppedMidTransferLeavesOnlyWholeReports) {
    const QString script = QStringLiteral(KSX4_SOURCE_DIR "/scripts/pg-test-server.sh");
    const QString socket = QDir::tempPath() + QStringLiteral("/ksx4pg-halt-%1").arg(getpid());
    if (QProcess::execute(script, {"start", socket}) != 0)
        GTEST_SKIP() << "no PostgreSQL server could be started (Debian's postgresql)";
    struct Stop {
        QString script, socket;
        ~Stop() { QProcess::execute(script, {"stop", socket}); }
    } stop{script, socket};

    archive::ArchiveLocation location;
    location.engine = Engine::Postgres;
    location.host = socket;
    location.user = QStringLiteral("ksx4");
    location.databaseName = QStringLiteral("postgres");
    putTester(sim::sampleTester({.reports = 8, .devices = 32}));
    session.copies = ReportCopies(location);
    bool halted = false;
    ui.onEvents = [&] {
        if (halted || ui.status() != QStringLiteral("Building location 3 Excel report file"))
            return;
        halted = true;
        ASSERT_EQ(QProcess::execute(script, {"halt", socket}), 0);
    };

    transfer();

    EXPECT_TRUE(halted);
    EXPECT_EQ(outcome, Outcome::Failed);
    EXPECT_EQ(workbooks().size(), 8);
    EXPECT_EQ(eraseIndicator(), 0);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_THAT(ui.messages.back().text.toStdString(),
                HasSubstr("could not be kept in the archive"));

    ASSERT_EQ(QProcess::execute(script, {"resume", socket}), 0);
    auto archive = std::get<std::unique_ptr<archive::Archive>>(archive::Archive::open(location));
    const auto reports = listed(location);
    EXPECT_EQ(reports.size(), 2u);
    for (const auto& summary : reports) {
        const auto report =
            std::get<std::optional<archive::ArchivedReport>>(archive->report(summary.id));
        ASSERT_TRUE(report);
        EXPECT_EQ(report->values.size(), static_cast<std::size_t>(kValuesOf32DeviceReport));
    }
}

}  // namespace
}  // namespace ksx4::test
