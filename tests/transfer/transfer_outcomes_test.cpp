// Transfers end to end: which workbooks are written, the status texts, and
// when the tester is told to erase its reports.
#include "transfer_fixture.h"

#include "core/end_program.h"
#include "platform/files/paths.h"
#include "settings/memory_map.h"

#include <QDir>
#include <QFileInfo>

namespace ksx4::test {
namespace {

using ::testing::ElementsAre;

constexpr uint16_t kEraseAll = 0x5555;

int slotStatus(const sim::TesterImage& image, int slot) {
    return image.flash[static_cast<std::size_t>(flash::slotBase(slot) + 255)];
}

TEST_F(TransferTest, WritesEveryStoredReportThenSetsTheEraseIndicator) {
    auto image = ksx4Tester();
    sim::storeReport(image, false, 1, timedReport("North"));
    sim::storeReport(image, false, 3, timedReport("South"));
    sim::setEepromText(image, eeprom::reportName(3).address, 15, "Tank farm");
    putTester(image);

    transfer();

    EXPECT_THAT(workbooks(), ElementsAre("Report 1 " + kSavedStamp + ".xls",
                                         "Tank farm " + kSavedStamp + ".xls"));
    EXPECT_EQ(session.transferredCount, 2);
    EXPECT_EQ(eraseIndicator(), kEraseAll);
    EXPECT_THAT(ui.statusHistory,
                ElementsAre("Opening KSX-4", "Transfer will take a few moments.  Please wait...",
                            "Waiting for folder selection", "Building location 1 Excel report file",
                            "Building location 3 Excel report file", "Transferred all reports",
                            "Transferred all reports.  Ready..."));
    EXPECT_THAT(ui.folderTitles,
                ElementsAre("Select folder for reports.  Reports stored in the KSX-4 will be "
                            "erased after they are moved to the selected folder."));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_NE(link.closeDevice(), 0) << "the connection should have been closed";
    EXPECT_EQ(session.excelApp, nullptr);
    EXPECT_EQ(outcome, Outcome::Done);
}

TEST_F(TransferTest, NoStoredReportWritesNothing) {
    putTester(ksx4Tester());

    transfer();

    EXPECT_TRUE(workbooks().isEmpty());
    EXPECT_EQ(eraseIndicator(), 0);
    EXPECT_EQ(ui.status(), "No reports found in KSX-4.  Ready...");
    EXPECT_EQ(outcome, Outcome::Done);
}

TEST_F(TransferTest, BadChecksumStopsTheTransferAndKeepsTheReports) {
    auto image = ksx4Tester();
    for (int slot = 1; slot <= 5; ++slot) {
        sim::storeReport(image, false, slot, timedReport("Loc"));
        sim::setEepromText(image, eeprom::reportName(slot).address, 15,
                           "Area " + std::to_string(slot));
    }
    image.flash[static_cast<std::size_t>(flash::slotBase(4) + 254)] ^= 0x01;
    putTester(image);

    transfer();

    EXPECT_EQ(workbooks().size(), 3);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Failed Checksums Verification");
    EXPECT_EQ(ui.messages[0].icon, Icon::Critical);
    EXPECT_EQ(ui.status(), "Failed to Write Report.  Ready...");
    EXPECT_EQ(eraseIndicator(), 0);
    EXPECT_EQ(slotStatus(tester(), 1), 2);
    EXPECT_EQ(outcome, Outcome::Failed);
}

TEST(TransferPaths, FolderGetsExactlyOneSeparator) {
    EXPECT_EQ(withTrailingSeparator("/out"), "/out/");
    EXPECT_EQ(withTrailingSeparator("/out/"), "/out/");
    EXPECT_EQ(withTrailingSeparator("/out//"), "/out/");
    EXPECT_EQ(withTrailingSeparator("/"), "/");
}

// Report names come from the tester's EEPROM: nothing in them may lead a
// workbook out of the chosen folder, into an unusable name or into a hidden
// file.
TEST_F(TransferTest, UnsafeReportNamesStayInsideTheFolder) {
    auto image = ksx4Tester();
    const std::string names[] = {"../../x",
                                 ".hidden",
                                 std::string("a\x01"
                                             "b\tc\x7f") +
                                     "d",
                                 "   ",
                                 "..",
                                 "C:\\w*?\"<>|"};
    int slot = 1;
    for (const auto& name : names) {
        sim::storeReport(image, false, slot, timedReport("Loc"));
        sim::setEepromText(image, eeprom::reportName(slot).address, 15, name);
        ++slot;
    }
    putTester(image);

    transfer();

    const QString stamp = " " + kSavedStamp + ".xls";
    EXPECT_THAT(workbooks(),
                ElementsAre("C__w______" + stamp, "Report 4" + stamp, "Report 5" + stamp,
                            "___.._x" + stamp, "_hidden" + stamp, "a_b_c_d" + stamp));
    EXPECT_THAT(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                ElementsAre("out", "tester"));
    EXPECT_EQ(eraseIndicator(), kEraseAll);
}

TEST_F(TransferTest, UnwritableFolderKeepsTheReports) {
    auto image = ksx4Tester();
    sim::storeReport(image, false, 1, timedReport("Loc"));
    putTester(image);
    // A file where the folder should be: not writable even for root.
    const QString notAFolder = root.filePath("not-a-folder");
    QFile(notAFolder).open(QIODevice::WriteOnly);

    transfer(notAFolder);  // the save fails; the recovery dialog is cancelled

    ASSERT_EQ(ui.saveRequests.size(), 1u);
    EXPECT_EQ(ui.saveRequests[0].proposedPath, notAFolder + "/Report 1 " + kSavedStamp + ".xls");
    EXPECT_EQ(ui.messageTexts().last(),
              "Report transfer cancelled.  Transferred 0 reports.\r\n"
              "Reports will not be erased in the the KSX-4.");
    EXPECT_EQ(ui.status(), "Report transfer cancelled.  Ready...");
    EXPECT_EQ(eraseIndicator(), 0);
    EXPECT_EQ(slotStatus(tester(), 1), 2);
    EXPECT_EQ(session.excelApp, nullptr);
    EXPECT_EQ(outcome, Outcome::Cancelled);
}

// The save prompt's answer fails too: the message names the system's reason,
// so the user does not go looking for an open file.
TEST_F(TransferTest, UnwritableFolderIsNamedInTheMessage) {
    auto image = ksx4Tester();
    sim::storeReport(image, false, 1, timedReport("Loc"));
    putTester(image);
    const QString notAFolder = root.filePath("not-a-folder");
    QFile(notAFolder).open(QIODevice::WriteOnly);
    ui.saveDialogs.push_back({false, notAFolder + "/again.xls", {}});

    transfer(notAFolder);

    EXPECT_EQ(ui.messageTexts().last(),
              "If overwriting a file, the file must be closed \r\nbefore transferring a report."
              "\r\nNot a directory\r\n\r\nTransferred 0 reports.\r\n\r\n"
              "Reports will not be erased in the the KSX-4.");
    EXPECT_EQ(ui.status(), "Report transfer cancelled.  Ready...");
    EXPECT_EQ(eraseIndicator(), 0);
    EXPECT_EQ(slotStatus(tester(), 1), 2);
}

TEST_F(TransferTest, CancelledFolderLeavesEverythingAlone) {
    auto image = ksx4Tester();
    sim::storeReport(image, false, 1, timedReport("Loc"));
    putTester(image);

    transfer(QString());

    EXPECT_EQ(ui.status(), "Report transfer cancelled.  Ready...");
    EXPECT_TRUE(workbooks().isEmpty());
    EXPECT_EQ(eraseIndicator(), 0);
}

// Firmware markers on both kinds: accepted, or refused with its message.
struct MarkerCase {
    bool pa;
    int marker;
    const char* refusal;  // nullptr: accepted
};

void PrintTo(const MarkerCase& c, std::ostream* os) {
    *os << (c.pa ? "KSX-4-PA" : "KSX-4") << " marker " << c.marker;
}

class FirmwareMarkerTest : public TransferTest, public ::testing::WithParamInterface<MarkerCase> {};

const QString kIncompatibleKsx4 =
    "KSX-4 firmware version is incompatible with\r\nthis version of the KSX-4 Assistant "
    "software.\r\nThis is an outdated KSX-4 Assistant version.\r\n\r\nDownload the latest KSX-4 "
    "Assistant and\r\nKSX-4 firmware at www.tessel.example";
const QString kIncompatiblePaProgram =
    "KSX-4-PA firmware version is incompatible with\r\nthis version of the KSX-4 Assistant "
    "software.\r\nThis is an outdated KSX-4 Assistant version.\r\n\r\nDownload the latest KSX-4 "
    "Assistant and\r\nKSX-4-PA firmware at www.tessel.example";
const QString kIncompatiblePaFirmware =
    "KSX-4-PA firmware version is incompatible with\r\nthis version of the KSX-4 Assistant "
    "software.\r\nThe KSX-4-PA firmware is outdated.\r\n\r\nDownload the latest KSX-4 "
    "Assistant and\r\nKSX-4-PA firmware at www.tessel.example";

TEST_P(FirmwareMarkerTest, ChecksTheMarkerAgainstTheKind) {
    const MarkerCase& c = GetParam();
    auto image = c.pa ? paTester() : ksx4Tester();
    image.flash[32001] = static_cast<uint8_t>(c.marker);
    putTester(image);

    transfer();

    EXPECT_EQ(state.firmwareMarker, c.marker == 0 ? 1 : c.marker);
    if (!c.refusal) {
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_EQ(ui.status(), "No reports found in KSX-4.  Ready...");
        return;
    }
    ASSERT_EQ(ui.messages.size(), 1u);
    const QString expected = c.refusal == std::string("A")      ? kIncompatibleKsx4
                             : c.refusal == std::string("A-PA") ? kIncompatiblePaProgram
                                                                : kIncompatiblePaFirmware;
    EXPECT_EQ(ui.messages[0].text, expected);
    EXPECT_EQ(ui.messages[0].icon, Icon::Critical);
    EXPECT_EQ(ui.status(), c.pa ? "KSX-4-PA firmware version is incompatible"
                                : "KSX-4 firmware version is incompatible");
    EXPECT_TRUE(ui.folderTitles.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Markers, FirmwareMarkerTest,
    ::testing::Values(MarkerCase{false, 0, nullptr}, MarkerCase{false, 1, nullptr},
                      MarkerCase{false, 2, "A"}, MarkerCase{false, 127, "A"},
                      MarkerCase{false, 128, "A"}, MarkerCase{false, 129, "A"},
                      MarkerCase{false, 255, nullptr}, MarkerCase{true, 0, "B-PA"},
                      MarkerCase{true, 1, "B-PA"}, MarkerCase{true, 2, "B-PA"},
                      MarkerCase{true, 127, "B-PA"}, MarkerCase{true, 128, nullptr},
                      MarkerCase{true, 129, "A-PA"}, MarkerCase{true, 255, nullptr}),
    [](const auto& info) {
        return std::string(info.param.pa ? "Pa" : "Ksx4") + std::to_string(info.param.marker);
    });

}  // namespace
}  // namespace ksx4::test
