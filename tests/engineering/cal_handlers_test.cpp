// The calibration window's handlers with a fake tester and a windowless
// form: the table walk, the "too large" reports, the textual read-back
// comparison, and the fatal link failures.
#include "engineering/cal_handlers.h"
#include "core/end_program.h"
#include "engineering/cal_form.h"
#include "fake_program.h"
#include "procedure_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ksx4::test {
namespace {

using ::testing::Contains;
using ::testing::Not;

class CalHandlersTest : public ::testing::Test {
  protected:
    CalHandlersTest() {
        // Box i holds 100 + i at address 2i; the single fields their own.
        for (int box = 0; box < 58; ++box)
            tester.setWord(2 * box, static_cast<uint16_t>(100 + box));
        tester.setWord(252, 9999);
        tester.setWord(254, 32773);
        tester.setWord(114, 21845);
    }
    uint16_t word(int address) const { return wordAt(tester.eeprom, address); }
    bool statusShown(const char* text) const {
        const auto& history = program.ui.statusHistory;
        return std::find(history.begin(), history.end(), QString::fromLatin1(text)) !=
               history.end();
    }

    FakeProgram program;
    FakeTester& tester = program.tester;
    ScriptedOperator& ui = program.ui;
    CalTexts form;
};

TEST_F(CalHandlersTest, ReadFillsTheWalkedBoxesAndTheThreeFields) {
    tester.setWord(14, 10000);  // box 7

    EXPECT_EQ(cmdReadCal_Click(program.state, form), Outcome::Done);

    EXPECT_EQ(ui.messageTexts(), QStringList{"Calibration value too large.\r\n\r\ntextLoc: 7"});
    EXPECT_EQ(form.text(7), "10000");  // still shown
    EXPECT_EQ(form.text(0), "100");
    EXPECT_EQ(form.text(15), "115");
    EXPECT_EQ(form.text(22), "122");
    EXPECT_EQ(form.text(51), "151");
    EXPECT_EQ(form.text(16), "");  // not a box of the walk
    EXPECT_EQ(form.text(58), "9999");
    EXPECT_EQ(form.text(59), "32773");  // the KSX-4-PA's 32768 included
    EXPECT_EQ(form.text(60), "21845");
    EXPECT_EQ(tester.eepromReads, 43);
    EXPECT_EQ(ui.statusHistory,
              (std::vector<QString>{"Looking for Device", "1 Device Found", "Opening Device",
                                    "Device Opened", "Reading calibration data",
                                    "Reading temperature", "Reading serial number",
                                    "Reading erase-all indicator", "Calibration read complete"}));
    EXPECT_FALSE(tester.connectionOpen);
}

TEST_F(CalHandlersTest, TemperatureTooLargeStopsBeforeTheSerialNumber) {
    tester.setWord(252, 10000);
    EXPECT_EQ(cmdReadCal_Click(program.state, form), Outcome::Refused);
    EXPECT_EQ(ui.messageTexts(), QStringList{"Calibration value too large.\r\n\r\ntextLoc: 58"});
    EXPECT_EQ(form.text(58), "0");
    EXPECT_EQ(form.text(59), "0");
    EXPECT_FALSE(statusShown("Reading serial number"));
    EXPECT_EQ(tester.eepromReads, 41);
    EXPECT_TRUE(tester.connectionOpen);
}

TEST_F(CalHandlersTest, ReadFailureEndsTheProgramNamingTheField) {
    tester.eepromReadResults.assign(40, OPERATION_SUCCESS);
    tester.eepromReadResults.push_back(OPERATION_SUCCESS);  // temperature
    tester.eepromReadResults.push_back(BAD_MEMORY_ADDRESS);
    EXPECT_THROW(cmdReadCal_Click(program.state, form), EndProgram);
    EXPECT_EQ(ui.messages.back().text,
              "Unable to Read Serial Number from KSX-4 EEPROM\r\n\r\nBAD_MEMORY_ADDRESS\r\n\r\n"
              "Exiting Program");
    EXPECT_EQ(ui.messages.back().icon, Icon::Critical);
    EXPECT_FALSE(tester.connectionOpen);
}

TEST_F(CalHandlersTest, SaveWritesEveryWalkedBoxAndLogsTheLinkResults) {
    form.setText(4, " 777 ");  // blanks trimmed

    EXPECT_EQ(cmdSaveCal_Click(program.state, form), Outcome::Done);

    EXPECT_EQ(word(0), 3160);  // the initial texts
    EXPECT_EQ(word(8), 777);
    EXPECT_EQ(word(30), 1023);
    EXPECT_EQ(word(32), 116);  // box 16 is not a box: untouched
    EXPECT_EQ(word(102), 1023);
    EXPECT_EQ(word(252), 9999);  // the single fields are another button's
    const QStringList lines = linkLines(ui.list);
    ASSERT_EQ(lines.size(), 41);
    EXPECT_EQ(lines.front(), "TessCommOpenDevice = 0");
    EXPECT_EQ(lines.back(), "TessCommWriteEEMemory = 0");
    EXPECT_EQ(ui.status(), "Calibration write complete");
    EXPECT_FALSE(tester.connectionOpen);
}

TEST_F(CalHandlersTest, TextualMismatchStopsTheSaveWithTheConnectionClosed) {
    form.setText(5, "0500");  // stored as 500, read back as "500"

    EXPECT_EQ(cmdSaveCal_Click(program.state, form), Outcome::Failed);

    EXPECT_EQ(ui.messageTexts(), QStringList{"Verification of calibration write failed\r\n\r\n"});
    EXPECT_EQ(ui.status(), QStringLiteral("sends = \u0001\u00F4 reads = 500"));
    EXPECT_EQ(word(10), 500);
    EXPECT_EQ(word(12), 106);  // the save stopped at box 5
    EXPECT_FALSE(tester.connectionOpen);
}

TEST_F(CalHandlersTest, TextThatCannotBeEncodedEndsTheSaveQuietly) {
    form.setText(2, "");
    EXPECT_EQ(cmdSaveCal_Click(program.state, form), Outcome::Refused);
    EXPECT_EQ(ui.messageTexts(), QStringList{"Enter value"});
    EXPECT_EQ(word(4), 102);
    EXPECT_THAT(ui.statusHistory, Not(Contains(QString("Calibration write complete"))));
    EXPECT_TRUE(tester.connectionOpen);
}

TEST_F(CalHandlersTest, WriteFailureLogsTheCloseAndEndsTheProgram) {
    tester.eepromWriteResults = {OPERATION_FAILURE};
    EXPECT_THROW(cmdSaveCal_Click(program.state, form), EndProgram);
    EXPECT_EQ(linkLines(ui.list),
              (QStringList{"TessCommOpenDevice = 0", "TessCommWriteEEMemory = 9",
                           "TessCommCloseDevice"}));
    EXPECT_EQ(ui.messages.back().text,
              "Unable to Write KSX-4 EEPROM\r\n\r\nOPERATION_FAILURE\r\n\r\nExiting Program");
}

TEST_F(CalHandlersTest, SingleFieldsSaveWithTheirOwnMismatchText) {
    form.setText(58, "21");
    form.setText(59, "32773");
    form.setText(60, "21845");
    EXPECT_EQ(cmdSaveSN_Click(program.state, form), Outcome::Done);
    EXPECT_EQ(word(252), 21);
    EXPECT_EQ(word(254), 32773);
    EXPECT_EQ(tester.eeprom[114], 0x55);
    EXPECT_EQ(tester.eeprom[115], 0x55);
    EXPECT_EQ(ui.status(), "EEPROM write complete");
    EXPECT_TRUE(linkLines(ui.list).isEmpty());

    form.setText(60, "021845");
    EXPECT_EQ(cmdSaveSN_Click(program.state, form), Outcome::Failed);
    EXPECT_EQ(ui.messages.back().text, "Verification of erase-all indicator write failed\r\n\r\n");
    EXPECT_EQ(ui.status(), "Device Opened");  // no comparison text for these
}

TEST_F(CalHandlersTest, OpenFailureIsFatalWithItsNumber) {
    tester.openResults = {DEVICE_COULD_NOT_BE_OPENED};
    EXPECT_THROW(cmdSaveCal_Click(program.state, form), EndProgram);
    EXPECT_EQ(linkLines(ui.list), QStringList{"TessCommOpenDevice = 8"});
    EXPECT_EQ(ui.messages.back().text,
              "Unable to Open KSX-4. Return Value: 8\r\n\r\nDEVICE_COULD_NOT_BE_OPENED\r\n\r\n"
              "Exiting Program");
}

TEST_F(CalHandlersTest, DefaultDataFailureAtLocationFiveIsFatal) {
    // The fifth name's write fails; the writer returns its code.
    tester.eepromWriteResults = {OPERATION_SUCCESS, OPERATION_SUCCESS, OPERATION_SUCCESS,
                                 OPERATION_SUCCESS, OPERATION_FAILURE};
    EXPECT_THROW(cmdSaveDefaultData_Click(program.state, form), EndProgram);
    EXPECT_EQ(ui.list.back(), "TessCommCloseDevice");
    EXPECT_EQ(ui.messages.back().text,
              "Unable to save default data\r\n\r\nOPERATION_FAILURE\r\n\r\nExiting Program");
    EXPECT_EQ(tester.eepromWrites, 5);
    EXPECT_EQ(ui.status(), "Writing default file names to EEPROM");
}

}  // namespace
}  // namespace ksx4::test
