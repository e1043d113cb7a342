// The window's operator runs each report's archive copy on a worker thread:
// the connection is opened, used and closed there, on both engines.
#include "archive_engines.h"
#include "core/status_list_model.h"
#include "platform/pooled_threads.h"
#include "platform/qt/qt_operator.h"
#include "report/report_copies.h"

#include <QApplication>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace ksx4::test {
namespace {

class ArchiveOnWorkerTest : public ArchiveEngineTest {};

TEST_P(ArchiveOnWorkerTest, TheWindowsWorkerStoresTheReport) {
    QWidget parent;
    QLineEdit status(&parent);
    StatusListModel list;
    QtOperator ui(&parent, &status, &list);
    archive::ArchivedReport report;
    report.summary.testerSerial = 1001;
    report.summary.slot = 1;
    report.summary.location = QStringLiteral("Tank 3");
    report.summary.verdict = QStringLiteral("OK");
    report.slotBytes = QByteArray(archive::kSourceBytes, '\x01');
    report.eepromBytes = QByteArray(archive::kSourceBytes, '\x20');
    report.values = {{"voltage", std::nullopt, 24500, "24.5V", 9000, "9.0V Minimum", "OK"}};

    ReportCopies copies(location);
    copies.keep(ui, report);
    copies.keep(ui, report);

    ASSERT_TRUE(copies.allKept()) << copies.failure()->toStdString();
    EXPECT_EQ(copies.storedCount(), 1);
    EXPECT_EQ(copies.alreadyKeptCount(), 1);
    copies.tellOutcome(ui);
    // Its bytes are no real report's, so finding lines may follow.
    EXPECT_TRUE(list.lines().contains(
        QStringLiteral("Archived 2 reports in %1 (1 already there)").arg(location.displayText())));
}

INSTANTIATE_TEST_SUITE_P(Engines, ArchiveOnWorkerTest, kBothEngines, engineName);

}  // namespace
}  // namespace ksx4::test

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ksx4::joinPooledThreadsWhenTheApplicationEnds();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
