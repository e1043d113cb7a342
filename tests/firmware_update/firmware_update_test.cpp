// cmdloadflash_Click on a fake tester: the passes, the compatibility check
// with the file's marker, the retries and every ending.
#include "firmware/firmware_update.h"
#include "core/end_program.h"
#include "fake_program.h"
#include "intel_hex_text.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>

namespace ksx4::test {
namespace {

const QString kPleaseWait = "Firmware update will take a few moments. Please wait...";
const QString kRetrying = "Data transmission error, retrying...";
const QString kFinalCheck =
    "All data saved in the KSX-4 will be erased.\r\n\r\nAre you sure you want to update the "
    "firmware?";

long timesShown(const std::vector<QString>& history, const QString& text) {
    return std::count(history.begin(), history.end(), text);
}

class FirmwareUpdateTest : public ::testing::Test {
  protected:
    // A firmware file; marker: the byte its record at 0x7D00 gives for 0x7D01
    // (nullopt: no record there, so no marker).
    QString firmwareFile(std::optional<uint8_t> marker, const QString& name = "fw.hex") {
        std::vector<std::string> lines{hexSegment(0), hexData(0x0800, {0x12, 0x34})};
        if (marker) {
            lines.push_back(hexData(0x7D00, {0xFF, *marker}));
            lines.push_back(hexData(0x7D10, {0x00}));
        }
        lines.push_back(hexEnd());
        const QString path = dir.filePath(name);
        std::ofstream(path.toStdString()) << hexLines(lines);
        return path;
    }
    void choose(const QString& path) { program.ui.openDialogs.push_back({false, path, {}}); }
    void makePaTester() { program.tester.setWord(254, 32768 + 7); }
    const std::vector<QString>& statuses() const { return program.ui.statusHistory; }

    QTemporaryDir dir;
    FakeProgram program;
    ProgramState& state = program.state;
};

TEST_F(FirmwareUpdateTest, LoadsTheChosenFileAndClosesTheConnection) {
    const QString path = firmwareFile(0x01);
    choose(path);
    EXPECT_EQ(cmdloadflash_Click(state), Outcome::Done);

    EXPECT_EQ(statuses(), (std::vector<QString>{"Opening KSX-4", "Select Hex File", kPleaseWait,
                                                "KSX-4 firmware loaded.  Ready..."}));
    ASSERT_EQ(program.ui.messages.size(), 1u);
    EXPECT_EQ(program.ui.messages[0].text, kFinalCheck);
    EXPECT_EQ(program.ui.messages[0].title, "Final check!");
    EXPECT_EQ(program.ui.messages[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(program.ui.messages[0].icon, Icon::None);
    EXPECT_EQ(program.tester.bootLoadPaths,
              std::vector<std::string>{QFile::encodeName(path).toStdString()});
    EXPECT_EQ(state.firmwareMarker, 1);
    EXPECT_FALSE(program.tester.connectionOpen);
}

struct MarkerCase {
    bool pa;
    std::optional<uint8_t> fileMarker;  // nullopt: the file has none
    std::optional<uint16_t> earlier;    // the marker left by an earlier operation
    const char* refusedFor;             // nullptr: loaded
};

void PrintTo(const MarkerCase& c, std::ostream* out) {
    *out << (c.pa ? "KSX-4-PA" : "KSX-4") << " file marker "
         << (c.fileMarker ? std::to_string(*c.fileMarker) : "none") << " earlier "
         << (c.earlier ? std::to_string(*c.earlier) : "none");
}

class CompatibilityTest : public FirmwareUpdateTest,
                          public ::testing::WithParamInterface<MarkerCase> {};

TEST_P(CompatibilityTest, JudgesTheMarkerAgainstTheTestersKind) {
    const MarkerCase& c = GetParam();
    if (c.pa) makePaTester();
    if (c.earlier) state.firmwareMarker = *c.earlier;
    choose(firmwareFile(c.fileMarker));

    const Outcome outcome = cmdloadflash_Click(state);

    const uint16_t expectedMarker = c.fileMarker ? *c.fileMarker : c.earlier.value_or(0);
    EXPECT_EQ(state.firmwareMarker, expectedMarker);
    EXPECT_FALSE(program.tester.connectionOpen);
    if (!c.refusedFor) {
        EXPECT_EQ(outcome, Outcome::Done);
        EXPECT_EQ(program.tester.bootLoadPaths.size(), 1u);
        return;
    }
    const QString kind = c.refusedFor;
    EXPECT_EQ(outcome, Outcome::Refused);
    EXPECT_TRUE(program.tester.bootLoadPaths.empty());
    ASSERT_EQ(program.ui.messages.size(), 2u);  // Final check!, then the refusal
    EXPECT_EQ(program.ui.messages[1].text, "Selected file is not compatible with " + kind +
                                               " hardware.\r\n\r\n" + "Download the latest " +
                                               kind + " firmware at www.tessel.example");
    EXPECT_EQ(program.ui.messages[1].icon, Icon::Critical);
    EXPECT_EQ(statuses().back(), "Selected file is not compatible with " + kind);
}

INSTANTIATE_TEST_SUITE_P(
    Markers, CompatibilityTest,
    ::testing::Values(MarkerCase{false, 0x00, {}, nullptr}, MarkerCase{false, 0x7F, {}, nullptr},
                      MarkerCase{false, 0x80, {}, "KSX-4"}, MarkerCase{false, 0xFE, {}, "KSX-4"},
                      MarkerCase{false, 0xFF, {}, nullptr}, MarkerCase{true, 0x05, {}, "KSX-4-PA"},
                      MarkerCase{true, 0x00, {}, "KSX-4-PA"},
                      MarkerCase{true, 0x7F, {}, "KSX-4-PA"}, MarkerCase{true, 0x80, {}, nullptr},
                      MarkerCase{true, 0xFE, {}, nullptr}, MarkerCase{true, 0xFF, {}, nullptr},
                      // A file without a marker is judged by the last one seen:
                      // 0 (KSX-4 firmware) when the program has seen none.
                      MarkerCase{true, std::nullopt, {}, "KSX-4-PA"},
                      MarkerCase{false, std::nullopt, {}, nullptr},
                      MarkerCase{true, std::nullopt, 128, nullptr},
                      MarkerCase{false, std::nullopt, 200, "KSX-4"},
                      MarkerCase{true, std::nullopt, 255, nullptr},
                      // The file's marker replaces the one seen before.
                      MarkerCase{true, 0x80, 1, nullptr}));

TEST_F(FirmwareUpdateTest, ProgramStartsWithMarkerZero) {
    EXPECT_EQ(state.firmwareMarker, 0);
}

TEST_F(FirmwareUpdateTest, CancelledDialogAndConfirmationLeaveTheTesterUntouched) {
    // The dialog.
    program.ui.openDialogs.push_back({true, {}, {}});
    EXPECT_EQ(cmdloadflash_Click(state), Outcome::Cancelled);
    EXPECT_EQ(statuses(),
              (std::vector<QString>{"Opening KSX-4", "Select Hex File", "User Canceled", "Ready"}));
    EXPECT_TRUE(program.ui.messages.empty());
    EXPECT_FALSE(program.tester.connectionOpen);

    // The confirmation.
    program.ui.statusHistory.clear();
    choose(firmwareFile(0x01));
    program.ui.answers.push_back(Answer::Cancel);
    EXPECT_EQ(cmdloadflash_Click(state), Outcome::Cancelled);
    EXPECT_EQ(statuses(),
              (std::vector<QString>{"Opening KSX-4", "Select Hex File", "User Canceled", "Ready"}));
    EXPECT_EQ(program.ui.messageTexts(), QStringList{kFinalCheck});
    EXPECT_TRUE(program.tester.bootLoadPaths.empty());
    EXPECT_EQ(program.tester.eepromReads, 0) << "not even the type was read";
    EXPECT_FALSE(program.tester.connectionOpen);
}

TEST_F(FirmwareUpdateTest, AnUnusableFileEndsTheProgram) {
    struct Case {
        FileDialogResult dialog;
        QStringList messages;
    };
    const QString failed = "Failed File Selection\r\n\r\nExiting Program";
    const Case cases[] = {
        {{false, dir.filePath("fw.bin"), {}}, {"File extension is NOT .HEX", failed}},
        {{false, {}, {}}, {failed}},
        {{false, {}, "No memory"}, {"Error: No memory Dialog Error", failed}},
    };
    for (const Case& c : cases) {
        FakeProgram fresh;
        fresh.ui.openDialogs.push_back(c.dialog);
        EXPECT_THROW(cmdloadflash_Click(fresh.state), EndProgram);
        EXPECT_EQ(fresh.ui.messageTexts(), c.messages);
        EXPECT_EQ(fresh.ui.messages.back().icon, Icon::Critical);
        EXPECT_EQ(fresh.ui.statusHistory.back(), "Failed File Selection");
        EXPECT_TRUE(fresh.tester.bootLoadPaths.empty());
        EXPECT_FALSE(fresh.tester.connectionOpen);
    }
}

TEST_F(FirmwareUpdateTest, AFileThatCannotBeReadIsACommandError) {
    choose(dir.filePath("gone.hex"));
    EXPECT_EQ(cmdloadflash_Click(state), Outcome::Failed);
    const QStringList texts = program.ui.messageTexts();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_TRUE(texts[0].startsWith("Command Error: Cannot read ")) << texts[0].toStdString();
    EXPECT_TRUE(program.tester.bootLoadPaths.empty());
}

// Each failed load (file faults included) retries over a new connection,
// without asking again; the sixth names the code and ends the program.
TEST_F(FirmwareUpdateTest, SixFailedBootLoadsEndWithTheCodesName) {
    choose(firmwareFile(0x01));
    program.tester.bootLoadResults = {9, 9, 4, 9, 9, 4};
    EXPECT_THROW(cmdloadflash_Click(state), EndProgram);

    EXPECT_EQ(program.tester.bootLoadPaths.size(), 6u);
    EXPECT_EQ(timesShown(statuses(), kRetrying), 6);
    EXPECT_EQ(timesShown(statuses(), "Opening KSX-4"), 1);
    EXPECT_EQ(program.ui.openRequests.size(), 1u);
    EXPECT_EQ(program.tester.eepromReads, 6) << "the type is read on every pass";
    EXPECT_EQ(program.ui.messageTexts(),
              (QStringList{kFinalCheck,
                           "Unable to Load KSX-4 Hex File\r\n\r\n"
                           "BAD_HEX_LINE_CHECKSUM\r\n\r\nExiting Program"}));
    EXPECT_EQ(program.ui.messages.back().icon, Icon::Critical);
    EXPECT_FALSE(program.tester.connectionOpen);
}

TEST_F(FirmwareUpdateTest, TheSixthBootLoadMaySucceed) {
    choose(firmwareFile(0x01));
    program.tester.bootLoadResults = {9, 9, 9, 9, 9};
    EXPECT_EQ(cmdloadflash_Click(state), Outcome::Done);
    EXPECT_EQ(program.tester.bootLoadPaths.size(), 6u);
    EXPECT_EQ(statuses().back(), "KSX-4 firmware loaded.  Ready...");
}

TEST_F(FirmwareUpdateTest, TypeReadsAreRetriedUpTo101Times) {
    for (const int failures : {100, 101}) {
        FakeProgram fresh;
        fresh.ui.openDialogs.push_back({false, firmwareFile(0x01), {}});
        fresh.tester.eepromReadResults.assign(static_cast<size_t>(failures), 9);
        if (failures == 100) {
            EXPECT_EQ(cmdloadflash_Click(fresh.state), Outcome::Done);
            EXPECT_EQ(fresh.tester.bootLoadPaths.size(), 1u);
        } else {
            EXPECT_THROW(cmdloadflash_Click(fresh.state), EndProgram);
            EXPECT_TRUE(fresh.tester.bootLoadPaths.empty());
            EXPECT_EQ(fresh.ui.messageTexts().last(),
                      "Unable to Read KSX-4 Type from EEPROM\r\n\r\nExiting Program");
            EXPECT_FALSE(fresh.tester.connectionOpen);
        }
        EXPECT_EQ(timesShown(fresh.ui.statusHistory, kRetrying), failures);
        EXPECT_EQ(fresh.tester.eepromReads, std::min(failures + 1, 101));
        EXPECT_EQ(fresh.ui.openRequests.size(), 1u);
    }
}

// An exit asked for while the boot load runs waits for it, then the update
// ends at once: nothing after the load reaches the link library.
TEST_F(FirmwareUpdateTest, AnExitDuringTheBootLoadEndsRightAfterIt) {
    choose(firmwareFile(0x01));
    bool waiting = false;
    int closesBefore = 0;
    program.tester.onBootLoad = [&] {
        waiting = program.ui.waiting();
        closesBefore = program.tester.closeCalls;
        program.ui.requestEnd();
    };
    EXPECT_THROW(cmdloadflash_Click(state), EndProgram);
    EXPECT_TRUE(waiting);
    EXPECT_FALSE(program.ui.waiting());
    EXPECT_EQ(program.tester.closeCalls, closesBefore);
    EXPECT_EQ(statuses().back(), kPleaseWait);
}

}  // namespace
}  // namespace ksx4::test
