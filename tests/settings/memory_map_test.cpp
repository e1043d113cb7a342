// The shared EEPROM field decoder, word encoder, image read and tester kind.
#include "settings/memory_map.h"
#include "core/end_program.h"
#include "fake_program.h"

#include <gtest/gtest.h>

namespace ksx4 {
namespace {

using test::FakeProgram;
using test::ScriptedOperator;
using test::VirtualClock;

TEST(ReadTesterType, SerialNumberDecidesTheKind) {
    const std::vector<std::pair<uint16_t, uint16_t>> cases = {
        {0, kKsx4}, {32767, kKsx4}, {32768, kKsx4Pa}, {65535, kKsx4Pa}};
    for (const auto& [serial, type] : cases) {
        FakeProgram p;
        p.tester.connectionOpen = true;
        p.tester.setWord(254, serial);
        EXPECT_EQ(readTesterType(p.state), type) << serial;
    }
}

TEST(ReadTesterType, FailedReadIsUnknown) {
    FakeProgram p;  // no connection: the read fails with 2
    EXPECT_EQ(readTesterType(p.state), kTypeUnknown);
    EXPECT_TRUE(p.ui.messages.empty());
}

TEST(EncodeWord, AcceptsWholeWordsHighByteFirst) {
    struct Case {
        QString text;
        uint8_t high, low;
    };
    const Case cases[] = {
        {"0", 0x00, 0x00},     {"65535", 0xFF, 0xFF}, {"21845", 0x55, 0x55}, {"9000", 0x23, 0x28},
        {" 150 ", 0x00, 0x96}, {"150.5", 0x00, 0x97}, {"150.4", 0x00, 0x96}, {"1e3", 0x03, 0xE8},
    };
    for (const auto& c : cases) {
        VirtualClock clock;
        ScriptedOperator ui(clock);
        const EncodedWord word = encodeWord(ui, c.text);
        EXPECT_TRUE(word.ok) << c.text.toStdString();
        EXPECT_EQ(word.bytes, (std::array<uint8_t, 2>{c.high, c.low})) << c.text.toStdString();
        EXPECT_TRUE(ui.messages.empty());
    }
}

TEST(EncodeWord, RefusesWithAMessageAndTwoBlanks) {
    const std::pair<QString, QString> cases[] = {
        {"", "Enter value"},
        {"65536", "Entered values should be less than 4 digits"},
        {"65535.5", "Entered values should be less than 4 digits"},
        {"abc", "Command Error: Type mismatch"},
        {"12abc", "Command Error: Type mismatch"},
        {"inf", "Command Error: Type mismatch"},
        {"nan", "Command Error: Type mismatch"},
        {"-1", "Entered values should not be negative"},
    };
    for (const auto& [text, message] : cases) {
        VirtualClock clock;
        ScriptedOperator ui(clock);
        const EncodedWord word = encodeWord(ui, text);
        EXPECT_FALSE(word.ok) << text.toStdString();
        EXPECT_EQ(word.bytes, (std::array<uint8_t, 2>{0x20, 0x20}));
        ASSERT_EQ(ui.messages.size(), 1u) << text.toStdString();
        EXPECT_EQ(ui.messages[0].text, message);
        EXPECT_EQ(ui.messages[0].buttons, Buttons::Ok);
        EXPECT_EQ(ui.messages[0].icon, Icon::None);
        EXPECT_EQ(ui.messages[0].title, kProgramTitle);
    }
}

TEST(ReadEepromField, WordsUpTo32767Decode) {
    FakeProgram p;
    p.state.eepromImage[236] = 0x23;
    p.state.eepromImage[237] = 0x28;
    p.state.eepromImage[238] = 0x7F;
    p.state.eepromImage[239] = 0xFF;
    EXPECT_EQ(readEepromField(p.state, eeprom::kVoltageLimit), "9000");
    EXPECT_EQ(readEepromField(p.state, eeprom::kSignalLimit), "32767");
    EXPECT_EQ(readEepromField(p.state, eeprom::kRetransmitLimit), "0");
    EXPECT_TRUE(p.ui.messages.empty());
}

TEST(ReadEepromField, WordsFrom32768GiveTheMessageAndEmptyText) {
    for (uint8_t high : {0x80, 0xFF}) {
        FakeProgram p;
        p.state.eepromImage[240] = high;
        EXPECT_EQ(readEepromField(p.state, eeprom::kAvgLowNoiseLimit), "");
        ASSERT_EQ(p.ui.messages.size(), 1u);
        EXPECT_EQ(p.ui.messages[0].text, "Error Extracting data from raw EEPROM array");
        EXPECT_EQ(p.ui.messages[0].icon, Icon::None);
    }
}

TEST(ReadEepromField, TextKeepsTrailingBlanksAndUsesCodePage1252) {
    FakeProgram p;
    const QByteArray name = QByteArrayLiteral("Caf\xE9 \x80 5       ");
    ASSERT_EQ(name.size(), 15);
    std::copy(name.begin(), name.end(), p.state.eepromImage.begin() + 221);
    p.state.eepromImage[236] = 0x23;  // the voltage limit right behind location 8
    EXPECT_EQ(readEepromField(p.state, eeprom::reportName(8)),
              QString::fromUtf8("Café € 5       "));
}

TEST(ReadEepromField, FieldsOutsideTheImageGiveEmptyText) {
    FakeProgram p;
    EXPECT_EQ(readEepromField(p.state, 250, 15, eeprom::FieldKind::Text), "");
    EXPECT_EQ(readEepromField(p.state, -1, 2, eeprom::FieldKind::Word), "");
}

TEST(ReadEepromImage, FillsAddresses0To254AndLeavesTheConnectionOpen) {
    FakeProgram p;
    for (int i = 0; i < 256; ++i) p.tester.eeprom[i] = static_cast<uint8_t>(i);
    readEepromImage(p.state);
    EXPECT_TRUE(p.tester.connectionOpen);
    EXPECT_EQ(p.state.eepromImage[254], 254);
    EXPECT_EQ(p.state.eepromImage[255], 0);  // never part of the read
    EXPECT_EQ(p.ui.statusHistory, std::vector<QString>{"Opening KSX-4"});
}

TEST(ReadEepromImage, RetriesFailedReadsAndShowsOpeningOnlyOnce) {
    FakeProgram p;
    p.tester.eeprom[10] = 42;
    p.tester.eepromReadResults.assign(10, OPERATION_FAILURE);
    readEepromImage(p.state);
    EXPECT_EQ(p.tester.eepromReads, 11);
    EXPECT_EQ(p.state.eepromImage[10], 42);
    EXPECT_EQ(std::count(p.ui.statusHistory.begin(), p.ui.statusHistory.end(), "Opening KSX-4"), 1);
    EXPECT_EQ(p.ui.status(), "Data transmission error, retrying...");
    EXPECT_TRUE(p.ui.messages.empty());
}

TEST(ReadEepromImage, EndsAfterElevenFailuresWithoutTouchingTheImage) {
    FakeProgram p;
    p.state.eepromImage[10] = 7;
    p.tester.eepromReadResults.assign(11, OPERATION_FAILURE);
    EXPECT_THROW(readEepromImage(p.state), EndProgram);
    EXPECT_EQ(p.tester.eepromReads, 11);
    EXPECT_FALSE(p.tester.connectionOpen);
    EXPECT_EQ(p.state.eepromImage[10], 7);
    ASSERT_EQ(p.ui.messages.size(), 1u);
    EXPECT_EQ(p.ui.messages[0].text,
              "Unable to Read KSX-4\r\n\r\nOPERATION_FAILURE\r\n\r\nExiting Program");
    EXPECT_EQ(p.ui.messages[0].icon, Icon::Critical);
}

}  // namespace
}  // namespace ksx4
