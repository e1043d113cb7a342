// Erasing all reports against a simulated tester: the question, exactly the
// two bytes of the indicator, Cancel, and the failed write.
#include "settings/erase_reports.h"
#include "core/end_program.h"
#include "settings_fixture.h"

namespace ksx4::test {
namespace {

using EraseReportsTest = SettingsTest;

TEST_F(EraseReportsTest, OkWritesExactly0x5555At114AndNothingElse) {
    EXPECT_EQ(mnuErase_Click(state), Outcome::Done);

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Erase all Reports Stored in the KSX-4?");
    EXPECT_EQ(ui.messages[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(ui.messages[0].icon, Icon::None);
    EXPECT_EQ(ui.messages[0].title, kProgramTitle);
    auto expected = initial.eeprom;
    expected[114] = 0x55;
    expected[115] = 0x55;
    EXPECT_EQ(eeprom(), expected);
    ASSERT_EQ(recorder.writes.size(), 1u);
    EXPECT_EQ(recorder.writes[0].address, 114u);
    EXPECT_EQ(ui.statusHistory, (std::vector<QString>{"Opening KSX-4", "Ready"}));

    // Once more: the same two bytes again.
    EXPECT_EQ(mnuErase_Click(state), Outcome::Done);
    ASSERT_EQ(recorder.writes.size(), 2u);
    EXPECT_EQ(recorder.writes[1].bytes, (std::vector<uint8_t>{0x55, 0x55}));
}

TEST_F(EraseReportsTest, CancelWritesNothingAndSaysReady) {
    ui.answers.push_back(Answer::Cancel);

    EXPECT_EQ(mnuErase_Click(state), Outcome::Cancelled);

    EXPECT_TRUE(recorder.writes.empty());
    EXPECT_EQ(eeprom(), initial.eeprom);
    EXPECT_EQ(ui.status(), "Ready");
}

TEST_F(EraseReportsTest, AFailedWriteEndsTheProgramWithItsMessage) {
    setFaults("1 write-timeout\n");

    EXPECT_THROW(mnuErase_Click(state), EndProgram);

    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text,
              "Unable to Write KSX-4 EEPROM\r\n\r\nOPERATION_FAILURE\r\n\r\nExiting Program");
    EXPECT_EQ(ui.messages[1].icon, Icon::Critical);
    EXPECT_EQ(wordAt(eeprom(), 114), 0);
}

TEST_F(EraseReportsTest, NoQuestionWithoutATester) {
    sim::setAttached(simDir, 0);
    ui.answers.push_back(Answer::Cancel);  // the tester search gives up

    EXPECT_THROW(mnuErase_Click(state), EndProgram);

    EXPECT_EQ(
        ui.messageTexts(),
        QStringList{"Unable to find a connected KSX-4\r\n\r\nConnect KSX-4 to the PC USB port"});
    EXPECT_TRUE(recorder.writes.empty());
}

}  // namespace
}  // namespace ksx4::test
