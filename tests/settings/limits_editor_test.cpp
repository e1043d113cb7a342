// The OK/BAD limits editor against a simulated tester: filling the boxes,
// every check of Save in its order, the nine writes in the editor's order,
// the write failure, Cancel, and the PC's number format.
#include "settings/limits_editor.h"
#include "core/end_program.h"
#include "settings/limits_table.h"
#include "settings_fixture.h"

namespace ksx4::test {
namespace {

const char* const kNaN =
    "Be sure that only numbers are entered for OK/BAD limits.\r\n"
    "No letters or other characters should be used.\r\n"
    "Check all limits before saving to the KSX-4.";
const QString kNotANumber = QString::fromLatin1(kNaN);
const QString kChange = "\r\nChange this limit before saving to the KSX-4.";

// The editor's write order and the default words.
const std::vector<std::pair<uint32_t, uint16_t>> kDefaultWrites = {
    {236, 9000}, {238, 150}, {244, 75},  {246, 75}, {240, 150},
    {242, 150},  {248, 150}, {250, 150}, {112, 0}};

class LimitsEditorTest : public SettingsTest {
  protected:
    // The editor holding the defaults, as after "Show Default Limits".
    void showDefaults() { showDefaultLimits(state, form); }

    std::vector<std::pair<uint32_t, uint16_t>> writtenWords() const {
        std::vector<std::pair<uint32_t, uint16_t>> words;
        for (const RecordedWrite& w : recorder.writes) {
            EXPECT_EQ(w.bytes.size(), 2u);
            EXPECT_EQ(w.result, 0);
            words.emplace_back(w.address, static_cast<uint16_t>(w.bytes[0] << 8 | w.bytes[1]));
        }
        return words;
    }

    FakeLimitsForm form;
};

TEST_F(LimitsEditorTest, OpeningFillsTheBoxesFromTheTesterAndShowsTheEditor) {
    auto image = sim::blankTester(false, 1001);
    sim::setEepromWord(image, 236, 8500);
    sim::setEepromWord(image, 244, 80);
    sim::setEepromWord(image, 112, 7);
    putTester(image);

    mnuOKBADLimits_Click(state, form);

    EXPECT_TRUE(form.shown);
    EXPECT_EQ(ui.status(), "Set OK/BAD limits");
    EXPECT_EQ(ui.statusHistory.front(), "Opening KSX-4");
    const std::map<LimitBox, QString> expected = {
        {LimitBox::Voltage, "8.5"},         {LimitBox::Signal, "150"},
        {LimitBox::AvgFieldbusNoise, "80"}, {LimitBox::PeakFieldbusNoise, "75"},
        {LimitBox::AvgLowNoise, "150"},     {LimitBox::PeakLowNoise, "150"},
        {LimitBox::AvgHighNoise, "150"},    {LimitBox::PeakHighNoise, "150"},
        {LimitBox::Retransmits, "7"}};
    EXPECT_EQ(form.boxes, expected);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(recorder.writes.empty());
}

TEST_F(LimitsEditorTest, UndecodableWordsLeaveTheirBoxesEmptyAndSaveAsksForNumbers) {
    auto image = sim::blankTester(false, 1001);
    sim::setEepromWord(image, 236, 0xFFFF);  // never written
    sim::setEepromWord(image, 112, 0x8000);
    putTester(image);

    readLimitsFromTester(state, form);

    EXPECT_EQ(form.text(LimitBox::Voltage), "");
    EXPECT_EQ(form.text(LimitBox::Retransmits), "");
    EXPECT_EQ(form.text(LimitBox::Signal), "150");
    EXPECT_EQ(ui.messageTexts(), QStringList(2, "Error Extracting data from raw EEPROM array"));
    EXPECT_EQ(ui.status(), "OK/BAD limits read from KSX-4.  Ready...");

    EXPECT_EQ(saveLimitsToTester(state, form), Outcome::Refused);
    EXPECT_EQ(ui.messages.back().text, kNotANumber);
    EXPECT_TRUE(recorder.writes.empty());
}

struct CheckCase {
    const char* name;
    LimitBox box;
    QString text;
    const char* message;  // nullptr: saved
};

void PrintTo(const CheckCase& c, std::ostream* os) {
    *os << c.name;
}

class LimitCheckTest : public LimitsEditorTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(LimitCheckTest, BoundsPassOrStopWithTheirMessage) {
    const CheckCase& c = GetParam();
    showDefaults();
    form.setText(c.box, c.text);

    const Outcome outcome = saveLimitsToTester(state, form);

    if (!c.message) {
        EXPECT_EQ(outcome, Outcome::Done);
        EXPECT_TRUE(ui.messages.empty()) << ui.messageTexts().join('|').toStdString();
        EXPECT_EQ(recorder.writes.size(), 9u);
        EXPECT_FALSE(form.shown);
        return;
    }
    EXPECT_EQ(outcome, Outcome::Refused);
    ASSERT_EQ(ui.messages.size(), 1u);
    const QString expected = QString::fromUtf8(c.message);
    EXPECT_EQ(ui.messages[0].text, expected == kNotANumber ? expected : expected + kChange);
    EXPECT_EQ(ui.messages[0].title, "Set OK/BAD Limits");
    EXPECT_EQ(ui.messages[0].icon, Icon::None);
    EXPECT_EQ(ui.messages[0].buttons, Buttons::Ok);
    // All checks come before the connection is opened.
    EXPECT_TRUE(recorder.writes.empty());
    EXPECT_TRUE(ui.statusHistory.empty());
    EXPECT_EQ(form.text(c.box), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Save, LimitCheckTest,
    ::testing::Values(
        CheckCase{"Voltage799", LimitBox::Voltage, "7.99", "Voltage limit should be at least 8V."},
        CheckCase{"Voltage8", LimitBox::Voltage, "8", nullptr},
        CheckCase{"Voltage32", LimitBox::Voltage, "32", nullptr},
        CheckCase{"Voltage3201", LimitBox::Voltage, "32.01",
                  "Voltage limit should be no more than 32V."},
        CheckCase{"Signal99", LimitBox::Signal, "99",
                  "Signal Level limit should be at least 100mV."},
        CheckCase{"Signal1000", LimitBox::Signal, "1000", nullptr},
        CheckCase{"Signal10005", LimitBox::Signal, "1000.5",
                  "Voltage limit should be at no more than 1000mV."},
        CheckCase{"PeakLowNoise24", LimitBox::PeakLowNoise, "24.9",
                  "Peak low frequency noise limit should be at least 25mV."},
        CheckCase{"AvgHighNoise2001", LimitBox::AvgHighNoise, "2001",
                  "Average high frequency noise limit should be no more than 2000mV."},
        CheckCase{"RetransmitsMinus1", LimitBox::Retransmits, "-1",
                  "Device Retransmits limit should be at least 0."},
        CheckCase{"Retransmits250", LimitBox::Retransmits, "250", nullptr},
        CheckCase{"Retransmits251", LimitBox::Retransmits, "251",
                  "Device Retransmits limit should be no more than 250."},
        CheckCase{"RetransmitsEmpty", LimitBox::Retransmits, "", kNaN},
        CheckCase{"VoltageLetters", LimitBox::Voltage, "12V", kNaN},
        // Would pass every bound check and then fail half-way through the
        // writes.
        CheckCase{"SignalNan", LimitBox::Signal, "nan", kNaN},
        CheckCase{"SignalInfinite", LimitBox::Signal, "inf", kNaN},
        CheckCase{"CommaIsNoDecimalSignInC", LimitBox::Voltage, "12,5", kNaN}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LimitsEditorTest, TheFirstFailingCheckWinsAndTheNextSaveShowsTheNext) {
    showDefaults();
    form.setText(LimitBox::Voltage, "5");
    form.setText(LimitBox::Signal, "50");

    EXPECT_EQ(saveLimitsToTester(state, form), Outcome::Refused);
    form.setText(LimitBox::Voltage, "9");
    EXPECT_EQ(saveLimitsToTester(state, form), Outcome::Refused);

    EXPECT_EQ(ui.messageTexts(),
              (QStringList{"Voltage limit should be at least 8V." + kChange,
                           "Signal Level limit should be at least 100mV." + kChange}));
    EXPECT_TRUE(recorder.writes.empty());
}

TEST_F(LimitsEditorTest, DefaultsThenSaveWriteTheNineWordsInTheEditorsOrder) {
    auto image = sim::blankTester(false, 1001);
    for (int address = 236; address <= 250; address += 2) sim::setEepromWord(image, address, 500);
    sim::setEepromWord(image, 112, 9);
    putTester(image);
    form.shown = true;

    showDefaults();
    EXPECT_TRUE(recorder.writes.empty());  // nothing goes to the tester yet
    EXPECT_EQ(form.text(LimitBox::Voltage), "9.0");
    EXPECT_EQ(saveLimitsToTester(state, form), Outcome::Done);

    EXPECT_EQ(writtenWords(), kDefaultWrites);
    auto expected = image.eeprom;
    for (const auto& [address, value] : kDefaultWrites) {
        expected[address] = static_cast<uint8_t>(value >> 8);
        expected[address + 1] = static_cast<uint8_t>(value & 0xFF);
    }
    EXPECT_EQ(eeprom(), expected);  // and nothing else changed
    EXPECT_EQ(ui.statusHistory,
              (std::vector<QString>{"Opening KSX-4", "OK/BAD limits written to KSX-4.  Ready..."}));
    EXPECT_FALSE(form.shown);
}

TEST_F(LimitsEditorTest, VoltageIsStoredInRoundedMillivoltsAndReadsBackWithOneDecimal) {
    showDefaults();
    form.setText(LimitBox::Voltage, " 12.3456 ");
    form.setText(LimitBox::Signal, "150.5");  // halfway rounds up

    ASSERT_EQ(saveLimitsToTester(state, form), Outcome::Done);
    EXPECT_EQ(wordAt(eeprom(), 236), 12346);
    EXPECT_EQ(wordAt(eeprom(), 238), 151);

    readLimitsFromTester(state, form);
    EXPECT_EQ(form.text(LimitBox::Voltage), "12.3");
}

// The boxes stay editable while Save waits for the tester; a value typed
// then has not been checked and is not written.
TEST_F(LimitsEditorTest, SaveWritesTheValuesItChecked) {
    showDefaults();
    form.setText(LimitBox::Signal, "200");
    ui.onEvents = [this] { form.setText(LimitBox::Signal, "5000"); };

    ASSERT_EQ(saveLimitsToTester(state, form), Outcome::Done);

    EXPECT_GT(ui.eventRounds, 0);
    EXPECT_EQ(wordAt(eeprom(), 238), 200);
}

TEST_F(LimitsEditorTest, AFailedWriteEndsTheProgramAndKeepsTheEarlierLimits) {
    auto image = sim::blankTester(false, 1001);
    sim::setEepromWord(image, 244, 99);
    putTester(image);
    showDefaults();
    form.setText(LimitBox::Voltage, "10");
    form.setText(LimitBox::AvgFieldbusNoise, "100");
    // Each word takes two exchanges (write, read-back); the third word's
    // write is exchange 5.
    setFaults("5 write-timeout\n");

    EXPECT_THROW(saveLimitsToTester(state, form), EndProgram);

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Unable to write average FF noise limit to KSX-4.\r\n"
              "TessCommWriteEEMemory Return Value: 9\r\n\r\n");
    EXPECT_EQ(ui.messages[0].icon, Icon::Critical);
    EXPECT_EQ(ui.messages[0].title, kProgramTitle);
    const auto now = eeprom();
    EXPECT_EQ(wordAt(now, 236), 10000);
    EXPECT_EQ(wordAt(now, 238), 150);
    EXPECT_EQ(wordAt(now, 244), 99);  // the failed one
    EXPECT_EQ(recorder.writes.size(), 3u);
}

TEST_F(LimitsEditorTest, CancelWritesNothingAndReopeningShowsTheTestersValues) {
    mnuOKBADLimits_Click(state, form);
    form.setText(LimitBox::Signal, "999");

    cancelLimitsEditor(state, form);
    EXPECT_FALSE(form.shown);
    EXPECT_EQ(ui.status(), "Ready");

    mnuOKBADLimits_Click(state, form);
    EXPECT_EQ(form.text(LimitBox::Signal), "150");
    EXPECT_TRUE(recorder.writes.empty());
    EXPECT_EQ(eeprom(), initial.eeprom);
}

// The boxes are read in the PC's number format, and what Save writes is
// the number its checks read.
TEST_F(LimitsEditorTest, NumbersAreReadInThePcsNumberFormat) {
    form.format = QLocale(QLocale::German, QLocale::Germany);
    mnuOKBADLimits_Click(state, form);
    EXPECT_EQ(form.text(LimitBox::Voltage), "9,0");

    form.setText(LimitBox::Voltage, "12.5");
    EXPECT_EQ(saveLimitsToTester(state, form), Outcome::Refused);
    EXPECT_EQ(ui.messages.back().text, kNotANumber);

    form.setText(LimitBox::Voltage, "12,5");
    form.setText(LimitBox::Signal, "150,5");
    form.setText(LimitBox::AvgLowNoise, "1.000");  // a group separator where de_DE puts one
    ASSERT_EQ(saveLimitsToTester(state, form), Outcome::Done);
    const auto now = eeprom();
    EXPECT_EQ(wordAt(now, 236), 12500);
    EXPECT_EQ(wordAt(now, 238), 151);
    EXPECT_EQ(wordAt(now, 240), 1000);
}

TEST(ReadLimitNumber, GroupSeparatorsOnlyWhereTheFormatPutsThem) {
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(readLimitNumber("1,000", us), 1000.0);
    EXPECT_EQ(readLimitNumber(" 12.5 ", us), 12.5);
    EXPECT_EQ(readLimitNumber("1,5", us), std::nullopt);  // never read as 15
    EXPECT_EQ(readLimitNumber("12,5", de), 12.5);
    EXPECT_EQ(readLimitNumber("1.5", de), std::nullopt);
    EXPECT_EQ(readLimitNumber("", us), std::nullopt);
}

}  // namespace
}  // namespace ksx4::test
