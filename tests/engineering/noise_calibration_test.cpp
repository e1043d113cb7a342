// The noise calibration with a recording GPIB stand-in and a fake tester:
// the whole run, the operator's retries and cancels, values too large, and
// the serial number.
#include "engineering/noise_calibration.h"
#include "core/end_program.h"
#include "fake_gpib.h"
#include "fake_program.h"
#include "platform/gpib_binding.h"
#include "procedure_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ksx4::test {
namespace {

using ::testing::ElementsAre;

const QString kCalTitle = QStringLiteral("KSX-4 Calibration");
const QString kResetL =
    QStringLiteral("Push KSX-4 SEL button to reset number L on KSX-4 screen, then select OK");
const QString kRetryText = QStringLiteral(
    "Number entered is less than or equal to preceding number entered. If this continues to "
    "happen after retrying, it is a possible KSX-4 problem");
const QString kCalNoiseProblem =
    QStringLiteral("Calibration problem: calNoise\r\n\r\n\r\n\r\nExiting Program");

class NoiseCalibrationTest : public ::testing::Test {
  protected:
    NoiseCalibrationTest() {
        // Whatever the tester held before: every byte the run writes shows.
        program.tester.eeprom.fill(0x11);
    }

    Outcome calibrate() { return mnuManCal_Click(program.state, window, gpib); }
    // Runs a calibration that must end the program.
    void calibrateToTheEnd() { EXPECT_THROW(calibrate(), EndProgram); }
    uint16_t word(int address) const { return wordAt(program.tester.eeprom, address); }
    const ShownMessage& lastMessage() const { return program.ui.messages.back(); }

    FakeProgram program;
    ScriptedOperator& ui = program.ui;
    FakeGpib gpib;
    RecordingWindow window;
    AnswerBook book{ui};
};

TEST_F(NoiseCalibrationTest, WholeRunWritesTheComputedTableSerialNumberAndDefaults) {
    book.answer(kPaQuestion, Answer::No);
    queueCalibrationInputs(ui, "25", kExampleReadings, "1234");

    EXPECT_EQ(calibrate(), Outcome::Done);

    EXPECT_EQ(gpib.written, calibrationCommands());
    for (const int band : {8, 44, 80}) EXPECT_EQ(rowsAt(program.tester.eeprom, band), kExampleRows);
    // High byte first: slope 460 of LF segment 2 at 20.
    EXPECT_EQ(program.tester.eeprom[20], 0x01);
    EXPECT_EQ(program.tester.eeprom[21], 0xCC);
    EXPECT_EQ(word(252), 25);
    EXPECT_EQ(word(112), 0);  // retransmits limit
    EXPECT_EQ(word(114), 0);  // erase-all indicator
    EXPECT_EQ(word(254), 1234);
    EXPECT_EQ(word(236), 9000);  // the default data
    EXPECT_EQ(word(0), 3160);
    // The areas no one writes.
    EXPECT_EQ(word(32), 0x1111);
    EXPECT_EQ(word(104), 0x1111);

    EXPECT_EQ(
        ui.messageTexts(),
        (QStringList{"Disconnect KSX-4 from USB (if connected) and connect to fieldbus (if "
                     "not already connected).",
                     "Push KSX-4 SEL button to get calibration screen and then select OK", kResetL,
                     "Push KSX-4 SEL button to reset number F on KSX-4 screen, then select OK",
                     "Push KSX-4 SEL button to reset number H on KSX-4 screen, then select OK",
                     "Disconnect fieldbus from KSX-4", "Connect USB cable to KSX-4", kPaQuestion}));
    for (const ShownMessage& shown : ui.messages) {
        EXPECT_EQ(shown.title, kCalTitle) << shown.text.toStdString();
        EXPECT_EQ(shown.icon, Icon::None);
    }
    std::vector<QString> prompts{
        "Enter KSX-4 temperature shown on second row of KSX-4 screen following the + sign."};
    for (const char number : {'L', 'F', 'H'}) {
        for (int step = 0; step < 5; ++step) {
            prompts.push_back(QStringLiteral("Enter number %1 from KSX-4 screen").arg(number));
        }
    }
    prompts.push_back("Enter KSX-4 serial number");
    EXPECT_EQ(ui.inputPrompts, prompts);
    // The calibration's own input boxes have no title; the serial number's has.
    std::vector<QString> titles(16, QString());
    titles.push_back(kCalTitle);
    EXPECT_EQ(ui.inputTitles, titles);
    EXPECT_EQ(ui.beeps, 15);

    EXPECT_EQ(ui.status(), "KSX-4 calibration complete");
    EXPECT_THAT(window.transferAndFirmware, ElementsAre(false, true));
    EXPECT_FALSE(program.tester.connectionOpen);
}

TEST_F(NoiseCalibrationTest, PaSerialNumberIsStoredPlus32768) {
    book.answer(kPaQuestion, Answer::Yes);
    queueCalibrationInputs(ui, "25", kExampleReadings, "5");
    EXPECT_EQ(calibrate(), Outcome::Done);
    EXPECT_EQ(ui.inputPrompts.back(), "Enter KSX-4-PA serial number");
    EXPECT_EQ(word(254), 32773);
}

TEST_F(NoiseCalibrationTest, ReadingNotAboveThePreviousMeasuresTheLowerStepAgain) {
    book.answer(kPaQuestion, Answer::No);
    ui.inputs = {"25", "100", "150", "150", /* Retry */ "150", "200", "300", "400"};
    for (int band = 0; band < 2; ++band) {
        for (const QString& reading : kExampleReadings) ui.inputs.push_back(reading);
    }
    ui.inputs.push_back("1234");

    EXPECT_EQ(calibrate(), Outcome::Done);

    const QStringList texts = ui.messageTexts();
    const auto retry = texts.indexOf(kRetryText);
    ASSERT_GE(retry, 0);
    EXPECT_EQ(ui.messages[static_cast<std::size_t>(retry)].buttons, Buttons::RetryCancel);
    EXPECT_EQ(ui.messages[static_cast<std::size_t>(retry)].title, kCalTitle);
    EXPECT_EQ(texts[retry + 1], kResetL);  // the band's reset box again
    const Commands lowBand(gpib.written.begin() + 3, gpib.written.begin() + 11);
    EXPECT_EQ(lowBand,
              (Commands{"OUTPUT OFF", "OUTPUT OFF", "APPL:SIN 1000,16E-3,0",
                        "APPL:SIN 1000,36E-3,0", "APPL:SIN 1000,16E-3,0", "APPL:SIN 1000,36E-3,0",
                        "APPL:SIN 1000,480E-3,0", "APPL:SIN 1000,960E-3,0"}));
    EXPECT_EQ(ui.beeps, 17);
    EXPECT_EQ(rowsAt(program.tester.eeprom, 8), kExampleRows);
}

TEST_F(NoiseCalibrationTest, CancelAtTheRetryEndsTheProgram) {
    book.answer(kRetryText, Answer::Cancel);
    ui.inputs = {"25", "100", "100"};
    calibrateToTheEnd();
    EXPECT_EQ(lastMessage().text, kCalNoiseProblem);
    EXPECT_EQ(lastMessage().icon, Icon::Critical);
    EXPECT_EQ(lastMessage().title, kProgramTitle);
    EXPECT_EQ(program.tester.eepromWrites, 0);
}

TEST_F(NoiseCalibrationTest, ZeroAsksAgainUntilCancel) {
    const QString temperatureAgain = QStringLiteral(
        "Enter temperature shown on KSX-4 screen, select OK to continue or CANCEL to exit");
    const QString numbersAgain =
        QStringLiteral("Enter numbers from KSX-4 screen, select OK to continue or CANCEL to exit");
    book.answer(numbersAgain, Answer::Ok);
    book.answer(numbersAgain, Answer::Cancel);
    // A cancelled box and text without a number at its start count as 0.
    ui.inputs = {std::nullopt, "+25 C", "abc", "0.4", "100"};

    calibrateToTheEnd();

    const QStringList texts = ui.messageTexts();
    EXPECT_EQ(texts.count(temperatureAgain), 1);
    EXPECT_EQ(texts.count(numbersAgain), 2);
    EXPECT_EQ(texts.back(), kCalNoiseProblem);
    EXPECT_EQ(ui.inputPrompts.size(), 4u);  // the "100" was never asked for
}

TEST_F(NoiseCalibrationTest, GapOfOneIsTooLargeAndNothingIsWritten) {
    ui.inputs = {"25", "100", "150", "200", "300", "301"};
    calibrateToTheEnd();
    const QStringList texts = ui.messageTexts();
    ASSERT_GE(texts.size(), 2);
    EXPECT_EQ(texts[texts.size() - 2], "Calculated calibration value too large.\r\n\r\nslopeLF(3)");
    EXPECT_EQ(ui.messages[ui.messages.size() - 2].title, kProgramTitle);
    EXPECT_EQ(texts.back(), kCalNoiseProblem);
    EXPECT_EQ(program.tester.openCalls, 0);
    EXPECT_EQ(program.tester.eepromWrites, 0);
}

TEST_F(NoiseCalibrationTest, ValueTheTesterCannotStoreStopsBeforeTheFirstWrite) {
    // 15 / 40 * 100 = 37.5 gives slope 38 and offset 0.38 * 50 - 20 = -1.
    book.answer(kPaQuestion, Answer::No);
    queueCalibrationInputs(ui, "25", {"10", "50", "100", "200", "400"}, "1234");
    calibrateToTheEnd();
    const QStringList texts = ui.messageTexts();
    EXPECT_TRUE(
        texts.contains("LF band, segment 0: offset -1\r\nError creating calibration string"));
    EXPECT_EQ(texts.back(), "Calibration problem: sendCalData\r\n\r\n\r\n\r\nExiting Program");
    EXPECT_EQ(program.tester.eepromWrites, 0);
}

// A temperature with no word is refused at its prompt, before the fifteen
// readings, and asked again; Cancel there ends the run at once.
TEST_F(NoiseCalibrationTest, TemperatureThatCannotBeStoredIsAskedAgain) {
    const QString again = QStringLiteral(
        "\r\nEnter temperature shown on KSX-4 screen, select OK to continue or CANCEL to exit");
    book.answer(kPaQuestion, Answer::No);
    ui.inputs = {"-5", "70000"};
    queueCalibrationInputs(ui, "25", kExampleReadings, "1234");

    EXPECT_EQ(calibrate(), Outcome::Done);

    const QStringList texts = ui.messageTexts();
    EXPECT_TRUE(texts.contains("Entered values should not be negative" + again));
    EXPECT_TRUE(texts.contains("Entered values should be less than 4 digits" + again));
    EXPECT_EQ(word(252), 25);

    ui.messages.clear();
    ui.inputPrompts.clear();
    book.answer("Entered values should not be negative", Answer::Cancel);
    ui.inputs = {"-1", "25"};
    calibrateToTheEnd();
    EXPECT_EQ(ui.inputPrompts.size(), 1u);
    EXPECT_EQ(ui.messageTexts().back(), kCalNoiseProblem);
}

TEST_F(NoiseCalibrationTest, SerialNumberThatCannotBeEncodedEndsWithTheButtonsDisabled) {
    book.answer(kPaQuestion, Answer::No);
    queueCalibrationInputs(ui, "25", kExampleReadings, "12abc");
    EXPECT_EQ(calibrate(), Outcome::Refused);
    EXPECT_EQ(lastMessage().text, "Command Error: Type mismatch");
    EXPECT_EQ(word(254), 0x1111);
    EXPECT_EQ(word(236), 0x1111);  // no default data
    EXPECT_TRUE(program.tester.connectionOpen);
    EXPECT_THAT(window.transferAndFirmware, ElementsAre(false));
}

TEST_F(NoiseCalibrationTest, FailedSerialNumberWriteEndsTheProgram) {
    book.answer(kPaQuestion, Answer::No);
    queueCalibrationInputs(ui, "25", kExampleReadings, "1234");
    // Temperature, twelve rows and the two cleared words, then the serial.
    program.tester.eepromWriteResults.assign(15, OPERATION_SUCCESS);
    program.tester.eepromWriteResults.push_back(OPERATION_FAILURE);
    calibrateToTheEnd();
    EXPECT_EQ(lastMessage().text,
              "Error writing KSX-4 serial number\r\n\r\nOPERATION_FAILURE\r\n\r\nExiting Program");
    EXPECT_EQ(lastMessage().icon, Icon::Critical);
    EXPECT_EQ(lastMessage().title, kProgramTitle);
}

TEST_F(NoiseCalibrationTest, GeneratorFailureMidwayEndsTheProgramThroughItsBox) {
    gpib.fail["ibwrt 16 APPL:SIN 1000,36E-3,0"] = {gpib::kErr | gpib::kTimo, 6, 0};
    ui.inputs = {"25", "100", "150"};
    calibrateToTheEnd();
    EXPECT_EQ(lastMessage().text,
              "Error writing to device.\r\nibsta = &HC000 < ERR TIMO>\r\n"
              "iberr = EABO <Op. aborted>\r\nibcnt = 0x0\r\rI'm quitting!");
    EXPECT_EQ(gpib.calls.back(), "ibonl 16 0");
    EXPECT_EQ(program.tester.eepromWrites, 0);
}

TEST_F(NoiseCalibrationTest, WithoutAGpibLibraryTheNoBoardBoxEndsTheProgramFirst) {
    GpibBinding absent("/nonexistent/libgpib.so.0");
    EXPECT_THROW(mnuManCal_Click(program.state, window, absent), EndProgram);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Error opening device.\r\nibsta = &H8000 < ERR>\r\n"
              "iberr = ENEB <No GPIB board>\r\nibcnt = 0x0\r\rI'm quitting!");
    EXPECT_TRUE(window.transferAndFirmware.empty());
}

}  // namespace
}  // namespace ksx4::test
