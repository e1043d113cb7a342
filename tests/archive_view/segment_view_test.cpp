// The archive window's segment view offscreen over histories that real
// transfers from the simulated tester archived visit by visit: the rows
// worst first and filtered as typed, the findings pane and its trend
// links, a baseline set and cleared changing the comparison, the access
// keys, and an archive with no reports.
#include "archive/archive.h"
#include "archive_view/archive_handlers.h"
#include "archive_view/archive_window.h"
#include "archive_view/report_table_model.h"
#include "archive_view/segment_table_model.h"
#include "archive_view/segment_view_window.h"
#include "archive_view/trend_window.h"
#include "core/operation_runner.h"
#include "report/report_copies.h"
#include "transfer_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTimeZone>

#include <cstdlib>
#include <map>

namespace ksx4::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// One visit's report of a segment: four devices at about 800 mV.
struct Visit {
    std::string location;
    int day;  // of March 2026
    uint16_t device20 = 800;
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
    r.voltage = 20000;
    r.lasAddress = 20;
    r.activeDevices = 4;
    const uint16_t levels[] = {v.device20, 810, 790, 805};
    for (int d = 0; d < 4; ++d) {
        r.devices[static_cast<std::size_t>(d)] =
            sim::DeviceEntry{.address = static_cast<uint8_t>(20 + d), .signal = levels[d]};
    }
    const auto lowest = std::min_element(std::begin(levels), std::end(levels));
    r.lowestSignal = *lowest;
    r.lowestSignalAddress = static_cast<uint16_t>(20 + (lowest - std::begin(levels)));
    r.lowestSignalTicks = ticksOf(v.day) - 100;
    return r;
}

class SegmentViewTest : public TransferTest {
  protected:
    void SetUp() override {
        location.engine = archive::ArchiveLocation::Engine::Sqlite;
        location.path = root.filePath(QStringLiteral("archive.sqlite"));
        session.copies = ReportCopies(location);
        ::setenv(archive::kArchiveEnvironment, location.path.toUtf8().constData(), 1);
    }
    void TearDown() override { ::unsetenv(archive::kArchiveEnvironment); }

    // One transfer of the visits' reports (slots 1, 2, ...).
    void visit(const std::vector<Visit>& visits) {
        sim::TesterImage image = sim::blankTester(false, 1001);
        int slot = 0;
        for (const Visit& v : visits) sim::storeReport(image, false, ++slot, reportOf(v));
        putTester(image);
        const QString folder = root.filePath(QStringLiteral("out%1").arg(++transfers_));
        ASSERT_TRUE(QDir().mkpath(folder));
        transfer(folder);
        ASSERT_EQ(outcome, Outcome::Done) << ui.messageTexts().join('\n').toStdString();
    }
    // Healthy visits to Tank 3 and Boiler on days 1 and 5 (Tank 3's device 20
    // a little weaker on day 5), then Tank 3 on day 10 with device 20
    // fallen to 540 mV.
    void history() {
        visit({{"Tank 3", 1}, {"Boiler", 1}});
        visit({{"TANK 3", 5, 560}, {"Boiler", 5}});
        visit({{"Tank 3", 10, 540}});
    }
    void open() {
        mnuReportArchive_Click(state, window, settings);
        deliver();
    }
    // Every answer, and the queries the answers start, taken in.
    void deliver() {
        for (int round = 0; round < 4; ++round) {
            window.session().waitIdle();
            QApplication::processEvents();
        }
    }
    void click(QWidget* in, const char* name) {
        auto* button = in->findChild<QAbstractButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        button->click();
        deliver();
    }
    SegmentViewWindow& view() { return window.segmentView(); }
    std::vector<QString> shownNames() {
        std::vector<QString> names;
        QSortFilterProxyModel& rows = view().shownRows();
        for (int row = 0; row < rows.rowCount(); ++row)
            names.push_back(rows.index(row, SegmentTableModel::NameColumn).data().toString());
        return names;
    }
    void selectSegment(const QString& name) {
        QSortFilterProxyModel& rows = view().shownRows();
        for (int row = 0; row < rows.rowCount(); ++row) {
            if (rows.index(row, 0).data().toString() == name) {
                view().table()->setCurrentIndex(rows.index(row, 0));
                deliver();
                return;
            }
        }
        ADD_FAILURE() << "no row " << name.toStdString();
    }
    // The comparison's row of label: its cells' texts.
    std::vector<QString> comparedRow(const QString& label) {
        const QTableWidget* table = view().comparison();
        for (int row = 0; row < table->rowCount(); ++row) {
            if (table->item(row, 0)->text() != label) continue;
            std::vector<QString> cells;
            for (int column = 1; column < table->columnCount(); ++column)
                cells.push_back(table->item(row, column)->text());
            return cells;
        }
        return {};
    }
    void typeFilter(const QString& text) {
        window.findChild<QLineEdit*>(QStringLiteral("txtSegmentFilter"))->setText(text);
        deliver();
    }
    QString lastMessage() const {
        return ui.messages.empty() ? QString() : ui.messages.back().text;
    }

    archive::ArchiveLocation location;
    QSettings settings{root.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    OperationRunner runner{ui, [] {}};
    ArchiveWindow window{state, runner, settings};
    int transfers_ = 0;
};

TEST_F(SegmentViewTest, OpensOnTheSegmentsWorstFirstFilteredAsTyped) {
    history();
    open();
    ASSERT_EQ(window.tabs()->currentWidget(), &view());
    EXPECT_EQ(window.tabs()->tabText(0), QStringLiteral("&Segments"));
    EXPECT_EQ(window.tabs()->tabText(1), QStringLiteral("&Reports"));
    EXPECT_TRUE(ui.messages.empty()) << lastMessage().toStdString();

    ASSERT_EQ(shownNames(), (std::vector<QString>{"Tank 3", "Boiler"}));
    EXPECT_EQ(view().countText(), QStringLiteral("2 segments"));
    const QSortFilterProxyModel& rows = view().shownRows();
    const auto cellOf = [&rows](int row, int column, int role = Qt::DisplayRole) {
        return rows.index(row, column).data(role);
    };
    EXPECT_EQ(cellOf(0, SegmentTableModel::ReportsColumn).toInt(), 3);
    // The tester's clock counts 2.048-second ticks: 09:59 or 10:00.
    EXPECT_THAT(cellOf(0, SegmentTableModel::FirstColumn).toString().toStdString(),
                ::testing::StartsWith("2026-03-01 "));
    EXPECT_THAT(cellOf(0, SegmentTableModel::LastColumn).toString().toStdString(),
                ::testing::StartsWith("2026-03-10 "));
    EXPECT_EQ(cellOf(0, SegmentTableModel::DaysColumn).toInt(), 4);  // the clock's 14 March
    EXPECT_EQ(cellOf(1, SegmentTableModel::ReportsColumn).toInt(), 2);
    EXPECT_EQ(cellOf(1, SegmentTableModel::DaysColumn).toInt(), 9);
    const QString worst = cellOf(0, SegmentTableModel::FindingColumn).toString();
    EXPECT_THAT(worst.toStdString(), HasSubstr("20"));
    EXPECT_FALSE(
        cellOf(0, SegmentTableModel::FindingColumn, Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_EQ(cellOf(1, SegmentTableModel::FindingColumn).toString(),
              QStringLiteral("No findings"));
    EXPECT_TRUE(
        cellOf(1, SegmentTableModel::FindingColumn, Qt::DecorationRole).value<QIcon>().isNull());
    // Still within the tester's limits: the workbook's OK, unfilled.
    EXPECT_EQ(cellOf(0, SegmentTableModel::VerdictColumn).toString(), QStringLiteral("OK"));
    EXPECT_FALSE(cellOf(0, SegmentTableModel::VerdictColumn, Qt::BackgroundRole).isValid());

    typeFilter(QStringLiteral("BOIL"));
    EXPECT_EQ(shownNames(), std::vector<QString>{"Boiler"});
    EXPECT_EQ(view().countText(), QStringLiteral("1 of 2 segments"));
    typeFilter(QStringLiteral("tank 4"));
    EXPECT_TRUE(shownNames().empty());
    EXPECT_EQ(view().countText(), QStringLiteral("No segments match"));
    typeFilter(QString());
    EXPECT_EQ(shownNames().size(), 2u);

    // Sorted by the number of reports; the order is kept for the next window.
    view().table()->sortByColumn(SegmentTableModel::ReportsColumn, Qt::AscendingOrder);
    EXPECT_EQ(shownNames(), (std::vector<QString>{"Boiler", "Tank 3"}));
    ArchiveWindow again{state, runner, settings};
    mnuReportArchive_Click(state, again, settings);
    for (int round = 0; round < 4; ++round) {
        again.session().waitIdle();
        QApplication::processEvents();
    }
    ASSERT_EQ(again.segmentView().shownRows().rowCount(), 2);
    EXPECT_EQ(again.segmentView().shownRows().index(0, 0).data().toString(),
              QStringLiteral("Boiler"));
}

TEST_F(SegmentViewTest, TheFindingsPaneTellsWhyAndItsLinkOpensThatDevicesChart) {
    history();
    open();
    // The worst segment is selected at once.
    ASSERT_EQ(view().selectedSegment()->segment.name, QStringLiteral("Tank 3"));
    const QString worst =
        view().shownRows().index(0, SegmentTableModel::FindingColumn).data().toString();
    const std::string pane = view().findingsText().toStdString();
    EXPECT_THAT(pane, HasSubstr("Tank 3: the findings of its latest report"));
    EXPECT_THAT(pane, HasSubstr(worst.toStdString()));
    EXPECT_THAT(pane, HasSubstr("Likely causes:"));
    const std::optional<diagnosis::Finding> first = view().shownFinding(0);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->summary, worst);
    EXPECT_THAT(pane, HasSubstr(first->check.toStdString()));
    EXPECT_THAT(pane, HasSubstr("Show Trend"));

    // The baseline beside the latest report, value by value.
    EXPECT_EQ(comparedRow(QStringLiteral("Device 20 (14H) Signal Level")),
              (std::vector<QString>{"800mV", "OK", "540mV", "OK", "\u221232 %"}));
    EXPECT_EQ(comparedRow(QStringLiteral("Voltage")).back(), QStringLiteral("+0 %"));
    EXPECT_THAT(view().devicesText().toStdString(),
                HasSubstr("Devices in both reports: 20 (14H), 21 (15H), 22 (16H), 23 (17H)"));

    // Its "Show Trend": the trend of Tank 3 with device 20's charts, the
    // signal level's brought into view.
    auto* findings = window.findChild<QTextBrowser*>(QStringLiteral("txtFindings"));
    emit findings->anchorClicked(QUrl(QStringLiteral("trend:0")));
    deliver();
    ASSERT_TRUE(ui.messages.empty()) << lastMessage().toStdString();
    TrendWindow* trend = window.trendWindow();
    ASSERT_NE(trend, nullptr);
    EXPECT_EQ(trend->windowTitle(), QStringLiteral("Trend of Tank 3"));
    EXPECT_EQ(trend->chartTitle(trend->chartCount() - 2), QStringLiteral("Device 20 Signal Level"));
    EXPECT_GT(trend->findChild<QScrollArea*>()->verticalScrollBar()->value(), 0);

    // Enter on Boiler's row: its trend, of the segment alone.
    selectSegment(QStringLiteral("Boiler"));
    EXPECT_THAT(view().findingsText().toStdString(), HasSubstr("No findings"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(view().table(), &enter);
    deliver();
    EXPECT_EQ(trend->windowTitle(), QStringLiteral("Trend of Boiler"));
    EXPECT_EQ(trend->chartCount(), 8);
    EXPECT_EQ(window.text(ArchiveBox::Device), QString());
}

TEST_F(SegmentViewTest, ABaselineSetOnAReportAndClearedChangesTheComparisonAfterAsking) {
    history();
    open();
    const QString device20 = QStringLiteral("Device 20 (14H) Signal Level");
    ASSERT_EQ(comparedRow(device20).at(0), QStringLiteral("800mV"));

    // Tank 3's report of day 5 on the report table.
    window.tabs()->setCurrentIndex(1);
    int day5 = -1;
    for (int row = 0; row < window.reports().rowCount(); ++row) {
        const archive::ReportSummary& r = window.reports().report(row);
        if (r.location == QStringLiteral("TANK 3")) day5 = row;
    }
    ASSERT_GE(day5, 0);
    window.table()->setCurrentIndex(window.reports().index(day5, 0));
    ui.answers = {Answer::No};
    click(&window, "cmdSetBaseline");
    EXPECT_THAT(lastMessage().toStdString(),
                HasSubstr("Compare the reports of TANK 3 with report"));
    EXPECT_EQ(comparedRow(device20).at(0), QStringLiteral("800mV"));

    click(&window, "cmdSetBaseline");  // answered yes
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(comparedRow(device20),
              (std::vector<QString>{"560mV", "OK", "540mV", "OK", "\u22124 %"}));
    EXPECT_THAT(view().findingsText().toStdString(), HasSubstr("(chosen)"));
    EXPECT_EQ(view().selectedSegment()->segment.name, QStringLiteral("Tank 3"));

    click(&view(), "cmdClearBaseline");
    EXPECT_THAT(lastMessage().toStdString(), HasSubstr("with its earliest report"));
    EXPECT_EQ(comparedRow(device20).at(0), QStringLiteral("800mV"));
    EXPECT_THAT(view().findingsText().toStdString(), Not(HasSubstr("(chosen)")));
}

TEST_F(SegmentViewTest, AnArchiveWithNoReportsSaysWhatFillsIt) {
    open();  // no file there yet
    EXPECT_THAT(view().emptyText().toStdString(),
                HasSubstr("Transfer reports from a KSX-4 to keep them here"));
    EXPECT_TRUE(ui.messages.empty()) << lastMessage().toStdString();

    // Made, but nothing stored yet.
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<archive::Archive>>(
        archive::Archive::open(location, archive::Archive::Access::ReadWrite)));
    window.showArchive(location);
    deliver();
    EXPECT_THAT(view().emptyText().toStdString(), HasSubstr("Transfer reports from a KSX-4"));

    // The first transfer fills it.
    visit({{"Tank 3", 1}});
    window.showArchive(location);
    deliver();
    EXPECT_EQ(view().emptyText(), QString());
    EXPECT_EQ(shownNames(), std::vector<QString>{"Tank 3"});
    EXPECT_THAT(view().findingsText().toStdString(), HasSubstr("its only report"));
}

// Every labelled box, button and tab has its own access key.
TEST_F(SegmentViewTest, AccessKeysAreNotShared) {
    std::map<QChar, QString> keys;
    const auto take = [&keys](const QString& text) {
        const qsizetype at = text.indexOf(u'&');
        if (at < 0 || at + 1 >= text.size()) return;
        const QChar key = text.at(at + 1).toLower();
        const auto [kept, added] = keys.emplace(key, text);
        EXPECT_TRUE(added) << text.toStdString() << " and " << kept->second.toStdString();
    };
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>())
        take(button->text());
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (label->buddy() != nullptr) take(label->text());
    }
    for (int tab = 0; tab < window.tabs()->count(); ++tab) take(window.tabs()->tabText(tab));
    EXPECT_GE(keys.size(), 15u);
}

}  // namespace
}  // namespace ksx4::test
