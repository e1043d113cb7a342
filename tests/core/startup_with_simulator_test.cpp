// Start-up and the connection routines through the real link library against
// simulated testers (one process per test, each with its own state folder).
#include "core/connection.h"
#include "core/end_program.h"
#include "core/main_window_form.h"
#include "core/program_state.h"
#include "platform/link_library.h"
#include "scripted_operator.h"
#include "settings/memory_map.h"
#include "tester_image.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ksx4 {
namespace {

struct NoWindow : MainWindowForm {
    void hideEngineeringEntries() override {}
    void showMainWindow() override {}
};

class SimulatedStart : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        qputenv("KSX4_SIM_DIR", folder.path().toLocal8Bit());
    }

    std::filesystem::path dir() const { return folder.path().toStdString(); }

    void addTesters(int count, bool pa = false) {
        for (int i = 1; i <= count; ++i) {
            ASSERT_TRUE(sim::writeTester(dir(), i, sim::blankTester(pa, 1000 + i)));
        }
    }

    QTemporaryDir folder;
    test::VirtualClock clock;
    test::ScriptedOperator ui{clock};
    LinkLibrary link;
    ProgramState state{ui, clock, link};
    NoWindow window;
};

TEST_F(SimulatedStart, OneTesterReachesReady) {
    addTesters(1);
    startProgram(state, window);
    EXPECT_EQ(ui.statusHistory, (std::vector<QString>{"Found KSX-4", "Ready"}));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SimulatedStart, NoTesterAsksThenOkFindsThePluggedInTester) {
    addTesters(1);
    sim::setAttached(dir(), 0);
    ui.onMessage = [&](const test::ShownMessage&) { sim::setAttached(dir(), 1); };
    startProgram(state, window);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Connect KSX-4 to the PC USB port");
    EXPECT_EQ(ui.statusHistory, (std::vector<QString>{"KSX-4 not found", "Found KSX-4", "Ready"}));
}

TEST_F(SimulatedStart, TwoTestersAskForOneAndCancelEnds) {
    addTesters(2);
    ui.answers = {Answer::Cancel};
    EXPECT_THROW(startProgram(state, window), EndProgram);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Only connect one KSX-4 at a time");
    EXPECT_EQ(ui.statusHistory, (std::vector<QString>{"Found more than one KSX-4", "Exiting"}));
}

TEST_F(SimulatedStart, WaitForTesterListsEveryPollOfAnEmptyRound) {
    ui.answers = {Answer::Cancel};
    EXPECT_EQ(waitForTester(state), 2);
    ASSERT_EQ(ui.list.size(), 2001);
    EXPECT_EQ(ui.list.front(), "TessCommGetDeviceCount = 0");
}

TEST_F(SimulatedStart, OperationReadsTheKindAndTheEeprom) {
    sim::TesterImage image = sim::blankTester(true, 1234);
    image.eeprom[116] = 0xE9;  // é at the start of location 1's name
    ASSERT_TRUE(sim::writeTester(dir(), 1, image));
    openTesterConnection(state);
    EXPECT_EQ(readTesterType(state), kKsx4Pa);
    readEepromImage(state);
    EXPECT_TRUE(
        std::equal(image.eeprom.begin(), image.eeprom.begin() + 255, state.eepromImage.begin()));
    EXPECT_TRUE(readEepromField(state, eeprom::reportName(1)).startsWith(QChar(0xE9)));
    closeTesterConnection(state);
    EXPECT_THROW(closeTesterConnection(state), EndProgram);  // already closed: 2
    EXPECT_TRUE(ui.messages.back().text.contains("DEVICE_NOT_OPENED_YET"));
}

}  // namespace
}  // namespace ksx4
