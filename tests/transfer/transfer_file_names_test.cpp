// How workbooks are named: the file dialog for reports without a saved time,
// the dialog's outcomes, KSX-4-PA names and the one recovery from a refused
// save.
#include "transfer_fixture.h"

#include "settings/memory_map.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ksx4::test {
namespace {

using ::testing::ElementsAre;

sim::Report untimedReport() {
    sim::Report report = timedReport("Loc");
    report.savedTicks = 0;  // first byte 0: no time stored
    return report;
}

TEST_F(TransferTest, ReportWithoutSavedTimeAsksForTheFileName) {
    auto image = ksx4Tester();
    sim::storeReport(image, false, 2, untimedReport());
    sim::setEepromText(image, eeprom::reportName(2).address, 15, " Pump  ");
    putTester(image);
    ui.saveDialogs.push_back({false, out + "/Pump.xls", {}});

    transfer(out + "//");

    ASSERT_EQ(ui.saveRequests.size(), 1u);
    const FileDialogRequest& request = ui.saveRequests[0];
    EXPECT_EQ(request.title, "Select Location and Type file Name");
    EXPECT_EQ(request.startFolder, out + "/");
    EXPECT_EQ(request.filter, "xls Files (*.xls)|*.xls");
    EXPECT_EQ(request.filterIndex, 1);
    EXPECT_EQ(request.proposedPath, out + "/Pump.xls");
    EXPECT_TRUE(timesShown(ui.statusHistory, "Waiting for file name selection") > 0);
    EXPECT_THAT(workbooks(), ElementsAre("Pump.xls"));
    EXPECT_EQ(eraseIndicator(), 0x5555);
}

struct DialogCase {
    const char* name;
    FileDialogResult answer;  // paths relative to the output folder
    const char* savedAs;      // nullptr: nothing saved
    QStringList messages;     // "%1": the chosen path
    const char* status;
};

void PrintTo(const DialogCase& c, std::ostream* os) {
    *os << c.name;
}

class FileDialogOutcomeTest : public TransferTest,
                              public ::testing::WithParamInterface<DialogCase> {};

TEST_P(FileDialogOutcomeTest, HandlesTheChosenPath) {
    const DialogCase& c = GetParam();
    auto image = ksx4Tester();
    sim::storeReport(image, false, 1, untimedReport());
    putTester(image);
    QDir(out).mkpath("My.Reports");
    FileDialogResult answer = c.answer;
    const QString chosen = answer.path.isEmpty() ? QString() : out + "/" + answer.path;
    answer.path = chosen;
    if (!answer.cancelled) ui.saveDialogs.push_back(answer);

    transfer();

    QStringList expectedMessages;
    for (const QString& m : c.messages) expectedMessages.append(m.arg(chosen));
    EXPECT_EQ(ui.messageTexts(), expectedMessages);
    if (c.savedAs) {
        EXPECT_THAT(workbooks(), ElementsAre(c.savedAs));
    } else {
        EXPECT_TRUE(workbooks().isEmpty());
    }
    EXPECT_EQ(ui.status(), c.status);
    EXPECT_EQ(eraseIndicator(), c.savedAs ? 0x5555 : 0);
}

const QString kCancelled =
    "Report transfer cancelled.  Transferred 0 reports.\r\nReports will not be erased in the "
    "the KSX-4.";

INSTANTIATE_TEST_SUITE_P(
    Paths, FileDialogOutcomeTest,
    ::testing::Values(DialogCase{"NoDotGetsXls",
                                 {false, "report", {}},
                                 "report.xls",
                                 {},
                                 "Transferred all reports.  Ready..."},
                      DialogCase{"CapitalXlsKept",
                                 {false, "REPORT.XLS", {}},
                                 "REPORT.XLS",
                                 {},
                                 "Transferred all reports.  Ready..."},
                      DialogCase{"OtherExtensionRefused",
                                 {false, "report.txt", {}},
                                 nullptr,
                                 {"File extension is NOT .xls:%1", "Failed File Selection"},
                                 "Failed to Write Report.  Ready..."},
                      DialogCase{"DottedFolderRefused",
                                 {false, "My.Reports/report", {}},
                                 nullptr,
                                 {"File extension is NOT .xls:%1", "Failed File Selection"},
                                 "Failed to Write Report.  Ready..."},
                      DialogCase{"EmptyPathFails",
                                 {false, "", {}},
                                 nullptr,
                                 {"Failed File Selection"},
                                 "Failed to Write Report.  Ready..."},
                      DialogCase{"DialogFailure",
                                 {false, "", "no display"},
                                 nullptr,
                                 {"Error: no display Dialog Error", "Failed File Selection"},
                                 "Failed to Write Report.  Ready..."},
                      DialogCase{"Cancelled",
                                 {true, "", {}},
                                 nullptr,
                                 {kCancelled},
                                 "Report transfer cancelled.  Ready..."}),
    [](const auto& info) { return std::string(info.param.name); });

// KSX-4-PA workbooks carry the transfer time. Locations named alike give the
// same file name: the later one never replaces a workbook of the same
// transfer, but goes to the file dialog, which answers a refusal once.
class PaNamesTest : public TransferTest {
  protected:
    void putPaTester(const QStringList& names) {
        auto image = paTester();
        int slot = 1;
        for (const QString& name : names) {
            sim::storeReport(image, true, slot, timedReport("Loc"));
            sim::setEepromText(image, eeprom::reportName(slot).address, 15, name.toStdString());
            ++slot;
        }
        putTester(image);
    }

    // The transfer time, on the virtual clock (its pauses stay within the
    // minute it starts in).
    QString transferTime() const {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            clock.wallTime().time_since_epoch());
        return QDateTime::fromMSecsSinceEpoch(ms.count()).toString("yyyy-MM-dd HH-mm");
    }
};

TEST_F(PaNamesTest, AlikeNamesNeverReplaceEachOther) {
    putPaTester({"Tank", "Pump", "Tank"});
    ui.saveDialogs.push_back({false, out + "/Tank second.xls", {}});

    transfer();

    const QString time = transferTime();
    EXPECT_THAT(workbooks(),
                ElementsAre("Pump " + time + ".xls", "Tank " + time + ".xls", "Tank second.xls"));
    ASSERT_EQ(ui.saveRequests.size(), 1u);
    EXPECT_EQ(ui.saveRequests[0].proposedPath, out + "/Tank " + time + ".xls");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.status(), "Transferred all reports.  Ready...");
    EXPECT_EQ(eraseIndicator(), 0x5555);
}

TEST_F(PaNamesTest, SecondRefusalEndsTheTransferAndKeepsTheReports) {
    putPaTester({"Tank", "Tank", "Tank"});
    ui.saveDialogs.push_back({false, out + "/Tank second.xls", {}});

    transfer();

    const QString time = transferTime();
    EXPECT_THAT(workbooks(), ElementsAre("Tank " + time + ".xls", "Tank second.xls"));
    EXPECT_EQ(ui.saveRequests.size(), 1u);
    EXPECT_THAT(ui.messageTexts(),
                ElementsAre("If overwriting a file, the file must be closed \r\nbefore "
                            "transferring a report.\r\n\r\nTransferred 2 reports.\r\n\r\n"
                            "Reports will not be erased in the the KSX-4."));
    EXPECT_EQ(ui.status(), "Report transfer cancelled.  Ready...");
    EXPECT_EQ(eraseIndicator(), 0);
    EXPECT_EQ(session.excelApp, nullptr);
}

// A workbook left from an earlier transfer: the replace question decides.
class ExistingWorkbookTest : public TransferTest, public ::testing::WithParamInterface<Answer> {};

TEST_P(ExistingWorkbookTest, ReplaceQuestionDecides) {
    auto image = ksx4Tester();
    sim::storeReport(image, false, 1, timedReport("Loc"));
    putTester(image);
    const QString earlier = outFile("Report 1 " + kSavedStamp + ".xls");
    {
        QFile file(earlier);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("earlier");
    }
    ui.answers.push_back(GetParam());
    ui.saveDialogs.push_back({false, outFile("new.xls"), {}});

    transfer();

    ASSERT_GE(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].buttons, Buttons::YesNo);
    const bool replaced = GetParam() == Answer::Yes;
    EXPECT_EQ(QFileInfo(earlier).size() > 7, replaced);
    EXPECT_EQ(ui.saveRequests.size(), replaced ? 0u : 1u);
    EXPECT_EQ(workbooks().contains("new.xls"), !replaced);
    EXPECT_EQ(ui.status(), "Transferred all reports.  Ready...");
}

INSTANTIATE_TEST_SUITE_P(Answers, ExistingWorkbookTest, ::testing::Values(Answer::Yes, Answer::No),
                         [](const auto& info) {
                             return std::string(info.param == Answer::Yes ? "Yes" : "No");
                         });

}  // namespace
}  // namespace ksx4::test
