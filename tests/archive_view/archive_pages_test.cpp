// The listing a page at a time, on both engines: every order's pages join
// to the whole listing, and the table fetches them as they are shown,
// coloured as the workbook colours judgements.
#include "archive_engines.h"
#include "archive_view/archive_session.h"
#include "archive_view/report_table_model.h"

#include <QBrush>
#include <QCoreApplication>

#include <algorithm>
#include <set>

#include <gtest/gtest.h>

namespace ksx4::test {
namespace {

using archive::Archive;
using archive::ListFilter;
using archive::ListOrder;
using archive::ReportSummary;
using Key = ListOrder::Key;

struct Stored {
    int serial;
    const char* location;
    const char* saved;
    int devices;
    const char* verdict;
};
// Times, testers, locations (in mixed case), device counts and verdicts
// each in another order than the ids.
constexpr Stored kReports[] = {
    {1002, "beta", "2026-03-04T08:00:00", 5, "OK"},
    {1001, "Alpha", "2026-03-02T08:00:00", 1, "BAD"},
    {1003, "Gamma", "2026-03-07T08:00:00", 16, "WARN"},
    {1001, "delta", "2026-03-01T08:00:00", 32, "OK"},
    {1002, "Epsilon", "2026-03-06T08:00:00", 0, "BAD"},
    {1003, "zeta", "2026-03-03T08:00:00", 6, "OK"},
    {1001, "Eta", "2026-03-05T08:00:00", 2, "WARN"},
};

archive::ArchivedReport reportOf(const Stored& s, int seed) {
    archive::ArchivedReport r;
    r.summary.testerSerial = s.serial;
    r.summary.slot = 1 + seed % 8;
    r.summary.location = QString::fromLatin1(s.location);
    r.summary.reportName = QStringLiteral("Report %1").arg(r.summary.slot);
    r.summary.saved = QString::fromLatin1(s.saved);
    r.summary.transferredMs = 1'780'000'000'000;
    r.summary.devices = s.devices;
    r.summary.verdict = QString::fromLatin1(s.verdict);
    r.summary.workbookPath = QStringLiteral("/out/x.xls");
    r.summary.workbookSha256 = QString(64, u'0');
    r.slotBytes = QByteArray(archive::kSourceBytes, static_cast<char>(seed));
    r.eepromBytes = QByteArray(archive::kSourceBytes, ' ');
    r.localeName = QStringLiteral("en_US");
    r.programVersion = QStringLiteral("test");
    return r;
}

std::vector<QString> locationsOf(const std::vector<ReportSummary>& reports) {
    std::vector<QString> names;
    for (const auto& r : reports) names.push_back(r.location);
    return names;
}

class ArchivePagesTest : public ArchiveEngineTest {
  protected:
    void SetUp() override {
        ArchiveEngineTest::SetUp();
        if (IsSkipped()) return;
        auto opened = Archive::open(location);
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<Archive>>(opened));
        archive = std::move(std::get<std::unique_ptr<Archive>>(opened));
        int seed = 0;
        for (const Stored& s : kReports)
            ASSERT_TRUE(
                std::holds_alternative<archive::StoreResult>(archive->store(reportOf(s, ++seed))));
    }
    std::vector<ReportSummary> listed(const ListFilter& filter, const ListOrder& order,
                                      archive::ListPage page) {
        auto result = archive->list(filter, order, page);
        if (auto* e = std::get_if<archive::ArchiveError>(&result)) {
            ADD_FAILURE() << e->reason.toStdString();
            return {};
        }
        return std::get<0>(result);
    }
    std::unique_ptr<Archive> archive;
};

TEST_P(ArchivePagesTest, EachOrdersPagesJoinToItsWholeListing) {
    const struct {
        Key key;
        bool descending;
        std::vector<QString> locations;
    } cases[] = {
        {Key::Time, false, {"delta", "Alpha", "zeta", "beta", "Eta", "Epsilon", "Gamma"}},
        {Key::Time, true, {"Gamma", "Epsilon", "Eta", "beta", "zeta", "Alpha", "delta"}},
        // Ties in the key keep the time order.
        {Key::Tester, false, {"delta", "Alpha", "Eta", "beta", "Epsilon", "zeta", "Gamma"}},
        {Key::Location, false, {"Alpha", "beta", "delta", "Epsilon", "Eta", "Gamma", "zeta"}},
        {Key::Devices, true, {"delta", "Gamma", "zeta", "beta", "Eta", "Alpha", "Epsilon"}},
        {Key::Verdict, true, {"Alpha", "Epsilon", "Eta", "Gamma", "delta", "zeta", "beta"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.key) * 2 + c.descending);
        const ListOrder order{c.key, c.descending};
        std::vector<ReportSummary> joined;
        for (int64_t offset = 0; offset < 9; offset += 3) {
            const auto page = listed({}, order, {offset, 3});
            EXPECT_EQ(page.size(), offset < 6 ? 3u : 1u);
            joined.insert(joined.end(), page.begin(), page.end());
        }
        EXPECT_EQ(locationsOf(joined), c.locations);
    }
    ListFilter bad;
    bad.verdict = QStringLiteral("BAD");
    EXPECT_EQ(locationsOf(listed(bad, {Key::Location, true}, {0, 5})),
              (std::vector<QString>{"Epsilon", "Alpha"}));
    EXPECT_EQ(listed(bad, {}, {2, 5}).size(), 0u);
}

// Hands the answers the worker has ready to the model.
void deliver(ArchiveSession& session) {
    session.waitIdle();
    QCoreApplication::processEvents();
}

TEST_P(ArchivePagesTest, TheTableFetchesPagesAsShownAndSortsInTheArchive) {
    ArchiveSession session;
    session.open(location);
    ReportTableModel model(session, nullptr, 3);
    model.reload();
    deliver(session);
    ASSERT_EQ(model.rowCount(), 3);
    while (model.canFetchMore({})) {
        model.fetchMore({});
        deliver(session);
    }
    ASSERT_EQ(model.rowCount(), 7);
    EXPECT_EQ(model.data(model.index(0, ReportTableModel::TimeColumn), Qt::DisplayRole),
              QStringLiteral("2026-03-01 08:00:00"));
    EXPECT_EQ(model.data(model.index(0, ReportTableModel::TesterColumn), Qt::DisplayRole),
              QStringLiteral("KSX-4 1001"));

    // The fills of the workbook's judgement cells: red BAD, yellow WARN, OK none.
    model.sort(ReportTableModel::VerdictColumn, Qt::DescendingOrder);
    deliver(session);
    const auto fill = [&model](int row) {
        return model.data(model.index(row, ReportTableModel::VerdictColumn), Qt::BackgroundRole);
    };
    EXPECT_EQ(model.report(0).verdict, QStringLiteral("BAD"));
    EXPECT_EQ(fill(0).value<QBrush>().color(), QColor(255, 0, 0));
    EXPECT_EQ(model.report(2).verdict, QStringLiteral("WARN"));
    EXPECT_EQ(fill(2).value<QBrush>().color(), QColor(255, 255, 0));
    model.fetchMore({});
    deliver(session);
    EXPECT_EQ(model.report(5).verdict, QStringLiteral("OK"));
    EXPECT_FALSE(fill(5).isValid());

    // A filter changed before the last answer came: only its rows arrive.
    ListFilter e;
    e.text = QStringLiteral("E");
    model.setFilter(e);
    ListFilter zeta;
    zeta.text = QStringLiteral("ZET");
    model.setFilter(zeta);
    deliver(session);
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.report(0).location, QStringLiteral("zeta"));
    EXPECT_FALSE(model.canFetchMore({}));
}

TEST_P(ArchivePagesTest, ReportsStoredBetweenTwoPagesNeitherRepeatNorHideARow) {
    // Each order gets one report sorting first and one sorting among the
    // rows not yet fetched, stored after the first page was shown.
    const struct {
        int column;
        Qt::SortOrder order;
        Stored first, later;
    } cases[] = {
        {ReportTableModel::TimeColumn,
         Qt::DescendingOrder,
         {1001, "Newest", "2026-03-09T08:00:00", 3, "OK"},
         {1001, "Older", "2026-03-02T09:00:00", 3, "OK"}},
        {ReportTableModel::LocationColumn,
         Qt::AscendingOrder,
         {1001, "Aardvark", "2026-03-09T08:00:00", 3, "OK"},
         {1001, "Theta", "2026-03-09T09:00:00", 3, "OK"}},
        {ReportTableModel::VerdictColumn,
         Qt::DescendingOrder,
         {1001, "Worst", "2026-03-01T07:00:00", 3, "BAD"},
         {1001, "Fine", "2026-03-09T08:00:00", 3, "OK"}},
    };
    int seed = 100;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column);
        ArchiveSession session;
        session.open(location);
        ReportTableModel model(session, nullptr, 3);
        model.sort(c.column, c.order);
        deliver(session);
        ASSERT_EQ(model.rowCount(), 3);
        std::set<int64_t> shown;
        for (int row = 0; row < 3; ++row) shown.insert(model.report(row).id);
        auto all = listed({}, {}, {0, -1});
        for (const Stored& s : {c.first, c.later})
            ASSERT_TRUE(
                std::holds_alternative<archive::StoreResult>(archive->store(reportOf(s, ++seed))));
        while (model.canFetchMore({})) {
            model.fetchMore({});
            deliver(session);
        }
        std::set<int64_t> ids;
        std::vector<QString> names;
        for (int row = 0; row < model.rowCount(); ++row) {
            EXPECT_TRUE(ids.insert(model.report(row).id).second)
                << "repeated: " << model.report(row).location.toStdString();
            names.push_back(model.report(row).location);
        }
        for (const ReportSummary& r : all)
            EXPECT_TRUE(ids.count(r.id)) << "skipped: " << r.location.toStdString();
        // The report sorting among the rows still to come is shown; the one
        // sorting first waits for a refresh.
        EXPECT_NE(std::find(names.begin(), names.end(), QString::fromLatin1(c.later.location)),
                  names.end());
        model.reload();
        deliver(session);
        EXPECT_EQ(model.report(0).location, QString::fromLatin1(c.first.location));
    }
}

TEST(ArchiveTable, AnArchiveThatCannotBeOpenedIsReportedNotListed) {
    QTemporaryDir folder;
    ArchiveSession session;
    archive::ArchiveLocation missing;
    missing.engine = archive::ArchiveLocation::Engine::Sqlite;
    missing.path = folder.filePath(QStringLiteral("none.sqlite"));
    session.open(missing);
    ReportTableModel model(session);
    QString reason;
    model.onFailure = [&reason](const QString& text) { reason = text; };
    model.reload();
    deliver(session);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(model.canFetchMore({}));
    EXPECT_TRUE(reason.contains(QStringLiteral("no archive there"))) << reason.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Engines, ArchivePagesTest, kBothEngines, engineName);

}  // namespace
}  // namespace ksx4::test
