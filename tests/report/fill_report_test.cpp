#include "report/fill_report.h"

#include "report/flash_fields.h"
#include "report/record_layout.h"
#include "sheet_fixture.h"

#include <functional>
#include <map>

namespace ksx4::test {
namespace {

constexpr int kRed = 3;
constexpr int kYellow = 6;

struct Row {
    int row;
    const char* a;
    const char* b;
    const char* c;
    const char* d;
};

// A report within every limit, no add/drop and no devices, with the
// tester's default limits (retransmits 250).
class FillReportTest : public ReportSheetTest {
  public:
    const QLocale us{QStringLiteral("en_US")};

    void SetUp() override {
        setReportName(kSlot, QStringLiteral("Tank farm"));
        setLimit(eeprom::kVoltageLimit, 9000);
        setLimit(eeprom::kSignalLimit, 150);
        setLimit(eeprom::kAvgLowNoiseLimit, 150);
        setLimit(eeprom::kPeakLowNoiseLimit, 150);
        setLimit(eeprom::kAvgFieldbusNoiseLimit, 75);
        setLimit(eeprom::kPeakFieldbusNoiseLimit, 75);
        setLimit(eeprom::kAvgHighNoiseLimit, 150);
        setLimit(eeprom::kPeakHighNoiseLimit, 150);
        setLimit(eeprom::kRetransmitLimit, 250);
        useLayout(kKsx4);
    }

    void useLayout(uint16_t type) {
        state.testerType = type;
        const record::Layout& l = layout();
        for (int i = 0; i < flash::kSlotSize; ++i) setByte(i, 0);
        setWord(l.voltage, 24500);
        setWord(l.lowestSignal, record::kSignalNotAvailable);
        setWord(l.lowestSignalAddress, record::kNoAddress);
        for (const int noise : {l.avgFieldbusNoise, l.peakFieldbusNoise, l.avgLowNoise,
                                l.peakLowNoise, l.avgHighNoise, l.peakHighNoise}) {
            setWord(noise, 10);
        }
        setByte(l.shieldShort, record::kNoShorts);
        if (l.lasAddress != record::kNone) setWord(l.lasAddress, record::kNoAddress);
        setWord(l.addDropAddress, l.noAddDropAddress);
    }
    const record::Layout& layout() const {
        return state.testerType == kKsx4Pa ? record::kProfibusPa : record::kFieldbus;
    }
    // Device entry d with a status; signal 500 mV and 3 retransmits.
    void setDevice(int entry, uint8_t address, uint8_t status, uint16_t signal = 500,
                   uint8_t retransmits = 3, uint8_t role = 0) {
        const record::Layout& l = layout();
        const int offset = record::deviceEntryOffset(l, entry);
        setByte(offset + l.entryAddress, address);
        setWord(offset + l.entrySignal, signal);
        setByte(offset + l.entryStatus, status);
        setByte(offset + l.entryRetransmits, retransmits);
        if (l.entryRole != record::kNone) setByte(offset + l.entryRole, role);
    }

    bool fill() {
        return fillReport(state, session, kSlot, base, countDeviceEntries(state, kSlot), us);
    }

    void expectRows(const std::vector<Row>& rows) {
        for (const Row& r : rows) {
            for (int column = 1; column <= 4; ++column) {
                const char* expected[] = {r.a, r.b, r.c, r.d};
                EXPECT_EQ(sheet().text(r.row, column), expected[column - 1])
                    << "row " << r.row << " column " << column;
            }
        }
    }
    // Every coloured cell, by address.
    std::map<QString, int> fills() {
        std::map<QString, int> found;
        for (const auto& [row, column] : sheet().usedCells()) {
            const xls::CellFormat f = sheet().format(row, column);
            if (f.interiorColorIndex == xls::kXlNone) continue;
            EXPECT_EQ(f.interiorPattern, xls::kXlPatternSolid);
            found[QChar(u'A' + column - 1) + QString::number(row)] = f.interiorColorIndex;
        }
        return found;
    }
};

TEST_F(FillReportTest, FieldbusReportWithinLimits) {
    setBytes(16, {0x01, 0x00, 0x00, 0x00});
    ASSERT_TRUE(fill());
    expectRows({
        {1, "Tank farm Segment Report", "", "", ""},
        {2, "Date/Time KSX-4 Connected to Bus", "2/1/73 4:22:18 PM", "", ""},
        {3, "Date/Time Report Saved", "Not Available", "", ""},
        {4, "", "", "", ""},
        {6, "", "", "", ""},
        {7, "Voltage", "24.5V", "9.0V Minimum", "OK"},
        {8, "Lowest Device Signal", "Not Available", "150mV Minimum", ""},
        {9, "Lowest Device Signal Address", "None", "", ""},
        {10, "Lowest Device Signal Date/Time", "Not Available", "", ""},
        {11, "Avg Fieldbus Frequency Noise (9KHz-40KHz)", "10mV", "75mV Maximum", "OK"},
        {12, "Peak Fieldbus Frequency Noise (9KHz-40KHz)", "10mV", "75mV Maximum", "OK"},
        {13, "Peak Fieldbus Frequency Noise Date/Time", "Not Available", "", ""},
        {14, "Avg Low Frequency Noise (50Hz-4KHz)", "10mV", "150mV Maximum", "OK"},
        {15, "Peak Low Frequency Noise (50Hz-4KHz)", "10mV", "150mV Maximum", "OK"},
        {16, "Peak Low Frequency Noise Date/Time", "Not Available", "", ""},
        {17, "Avg High Frequency Noise (90KHz-350KHz)", "10mV", "150mV Maximum", "OK"},
        {18, "Peak High Frequency Noise (90KHz-350KHz)", "10mV", "150mV Maximum", "OK"},
        {19, "Peak High Frequency Noise Date/Time", "Not Available", "", ""},
        {20, "Shield Short", "No Shorts", "No Shorts", "OK"},
        {21, "LAS Address", "None", "", ""},
        {22, "Most Recent Add/Drop Address", "No Devices Added/Dropped", "", ""},
        {23, "Device Add or Drop", "None Added/Dropped", "None Added/Dropped", "OK"},
        {24, "Date/Time of Device Add/Drop", "Not Available", "", ""},
        {25, "Number of Active Devices", "0", "", ""},
        {26, "", "", "", ""},
        {27, "", "", "", ""},
        {28, "", "", "", "Measurement Summary: All Measurements are OK"},
        {29, "", "", "", ""},
    });
    EXPECT_TRUE(fills().empty());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(session.excelApp->selection().area(), xls::parseAddress("A1"));
}

TEST_F(FillReportTest, ProfibusPaReportWithinLimits) {
    useLayout(kKsx4Pa);
    ASSERT_TRUE(fill());
    expectRows({
        {1, "Tank farm Segment Report", "", "", ""},
        {2, "", "", "", ""},
        {4, "", "", "", ""},
        {5, "Voltage", "24.5V", "9.0V Minimum", "OK"},
        {6, "Lowest Device Signal", "Not Available", "150mV Minimum", ""},
        {7, "Lowest Device Signal Address", "None", "", ""},
        {8, "Avg Fieldbus Frequency Noise", "10mV", "75mV Maximum", "OK"},
        {9, "Peak Fieldbus Frequency Noise", "10mV", "75mV Maximum", "OK"},
        {10, "Avg Low Frequency Noise", "10mV", "150mV Maximum", "OK"},
        {11, "Peak Low Frequency Noise", "10mV", "150mV Maximum", "OK"},
        {12, "Avg High Frequency Noise", "10mV", "150mV Maximum", "OK"},
        {13, "Peak High Frequency Noise", "10mV", "150mV Maximum", "OK"},
        {14, "Shield Short", "No Shorts", "No Shorts", "OK"},
        {15, "Most Recent Add/Drop Address", "No Devices Added/Dropped", "", ""},
        {16, "Device Add or Drop", "None Added/Dropped", "None Added/Dropped", "OK"},
        {17, "Number of Active Devices", "0", "", ""},
        {18, "", "", "", ""},
        {20, "", "", "", "Measurement Summary: All Measurements are OK"},
        {21, "", "", "", ""},
    });
    EXPECT_TRUE(fills().empty());
}

// One changed field of a Fieldbus report and what it shows.
struct EdgeCase {
    const char* name;
    std::function<void(FillReportTest&)> change;
    std::vector<Row> rows;
    std::map<QString, int> fills;
    const char* summary;  // in D28
};

class FillEdgeCaseTest : public FillReportTest, public ::testing::WithParamInterface<int> {};

const std::vector<EdgeCase>& edgeCases() {
    using T = FillReportTest;
    static const std::vector<EdgeCase> cases{
        {"voltage just under its limit although both show 9.0",
         [](T& t) { t.setWord(24, 8990); },
         {{7, "Voltage", "9.0V", "9.0V Minimum", "BAD"}},
         {{"D7", kRed}},
         "Measurement Summary: 1 Measurement is BAD"},
        {"noise equal to its limit is OK, one above is BAD",
         [](T& t) {
             t.setWord(42, 150);
             t.setWord(44, 151);
         },
         {{14, "Avg Low Frequency Noise (50Hz-4KHz)", "150mV", "150mV Maximum", "OK"},
          {15, "Peak Low Frequency Noise (50Hz-4KHz)", "151mV", "150mV Maximum", "BAD"}},
         {{"D15", kRed}},
         "Measurement Summary: 1 Measurement is BAD"},
        {"lowest signal 2251 is shown but not judged",
         [](T& t) { t.setWord(26, 2251); },
         {{8, "Lowest Device Signal", "2251mV", "150mV Minimum", ""}},
         {},
         "Measurement Summary: All Measurements are OK"},
        {"lowest signal below its limit, with its address",
         [](T& t) {
             t.setWord(26, 149);
             t.setWord(28, 255);
         },
         {{8, "Lowest Device Signal", "149mV", "150mV Minimum", "BAD"},
          {9, "Lowest Device Signal Address", "255 (FFH)", "", ""}},
         {{"D8", kRed}},
         "Measurement Summary: 1 Measurement is BAD"},
        {"shield code 6 and an added device",
         [](T& t) {
             t.setByte(58, 6);
             t.setByte(63, 2);
             t.setWord(61, 20);
             t.setWord(59, 1);
         },
         {{20, "Shield Short", "Short to (+)", "No Shorts", "BAD"},
          {21, "LAS Address", "1 (1H)", "", ""},
          {22, "Most Recent Add/Drop Address", "20 (14H)", "", ""},
          {23, "Device Add or Drop", "Add", "None Added/Dropped", "WARN"}},
         {{"D20", kRed}, {"D23", kYellow}},
         "Measurement Summary: 1 Measurement is BAD and 1 WARNING"},
        {"unknown shield code and a dropped device",
         [](T& t) {
             t.setByte(58, 9);
             t.setByte(63, 3);
         },
         {{20, "Shield Short", "Unknown", "No Shorts", "BAD"},
          {23, "Device Add or Drop", "Drop", "None Added/Dropped", "BAD"}},
         {{"D20", kRed}, {"D23", kRed}},
         "Measurement Summary: 2 Measurements are BAD"},
    };
    return cases;
}

TEST_P(FillEdgeCaseTest, ShowsAndJudges) {
    const EdgeCase& c = edgeCases()[static_cast<std::size_t>(GetParam())];
    SCOPED_TRACE(c.name);
    c.change(*this);
    ASSERT_TRUE(fill());
    expectRows(c.rows);
    EXPECT_EQ(fills(), c.fills);
    EXPECT_EQ(sheet().text(28, 4), c.summary);
}

INSTANTIATE_TEST_SUITE_P(Fieldbus, FillEdgeCaseTest,
                         ::testing::Range(0, static_cast<int>(edgeCases().size())));

TEST_F(FillReportTest, FieldbusDevicesWhereverTheyLie) {
    setDevice(2, 20, record::kEntryPresent, 150, 250);
    setDevice(7, 255, record::kEntryAdded, 149, 251);
    setByte(68, 2);
    ASSERT_TRUE(fill());
    expectRows({
        {25, "Number of Active Devices", "2", "", ""},
        {29, "Device Address", "20 (14H)", "", ""},
        {30, "Signal Level", "150mV", "150mV Minimum", "OK"},
        {31, "Added/Dropped", "Not Added/Dropped", "Not Added/Dropped", "OK"},
        {32, "Retransmits", "250", "250", "OK"},
        {33, "", "", "", ""},
        {34, "Device Address", "255 (FFH)", "", ""},
        {35, "Signal Level", "149mV", "150mV Minimum", "BAD"},
        {36, "Added/Dropped", "Added", "Not Added/Dropped", "WARN"},
        {37, "Retransmits", "250+", "250", "BAD"},
        {28, "", "", "", ""},
        {40, "", "", "", "Measurement Summary: 2 Measurements are BAD and 1 WARNING"},
    });
    EXPECT_EQ(fills(), (std::map<QString, int>{{"D35", kRed}, {"D36", kYellow}, {"D37", kRed}}));
}

TEST_F(FillReportTest, ProfibusPaDevicesAndAddDrop) {
    useLayout(kKsx4Pa);
    setWord(41, 65535);  // only 255 means none on a PA tester
    setByte(49, 3);
    setDevice(1, 5, record::kEntryDropped, 600, 0, record::kMasterRole);
    setDevice(32, 6, 7, 600, 0, 0);
    ASSERT_TRUE(fill());
    expectRows({
        {15, "Most Recent Add/Drop Address", "65535 (FFFFH)", "", ""},
        {16, "Device Add or Drop", "Drop", "None Added/Dropped", "BAD"},
        {21, "Device Address", "5 (5H)", "", ""},
        {22, "Signal Level", "600mV", "150mV Minimum", "OK"},
        {23, "Added/Dropped", "Dropped", "Not Added/Dropped", "BAD"},
        {24, "Master or Slave", "Master", "", ""},
        {25, "Retransmits", "0", "250", "OK"},
        {27, "Device Address", "6 (6H)", "", ""},
        {29, "Added/Dropped", "Unknown", "Not Added/Dropped", "BAD"},
        {30, "Master or Slave", "Slave", "", ""},
        {20, "", "", "", ""},
        {34, "", "", "", "Measurement Summary: 3 Measurements are BAD"},
    });
    EXPECT_EQ(fills(), (std::map<QString, int>{{"D16", kRed}, {"D23", kRed}, {"D29", kRed}}));
}

TEST_F(FillReportTest, AnUndecodableLimitShowsOnlyItsUnitAndCountsAsZero) {
    setDevice(1, 20, record::kEntryPresent);
    setLimit(eeprom::kPeakHighNoiseLimit, 0xFFFF);
    setLimit(eeprom::kSignalLimit, 0x8000);
    ASSERT_TRUE(fill());
    // One message per undecodable limit, however often the report uses it.
    EXPECT_EQ(ui.messageTexts(), QStringList({"Error Extracting data from raw EEPROM array",
                                              "Error Extracting data from raw EEPROM array"}));
    expectRows({
        {18, "Peak High Frequency Noise (90KHz-350KHz)", "10mV", "mV Maximum", "BAD"},
        {30, "Signal Level", "500mV", "mV Minimum", "OK"},
    });
    EXPECT_EQ(fills(), (std::map<QString, int>{{"D18", kRed}}));
}

TEST_F(FillReportTest, AnUndecodableVoltageLimitStopsTheFilling) {
    // The voltage limit is written in volts; empty text is no number.
    setLimit(eeprom::kVoltageLimit, 0xFFFF);
    EXPECT_FALSE(fill());
    EXPECT_EQ(ui.messageTexts(), QStringList({"Error Extracting data from raw EEPROM array"}));
}

TEST_F(FillReportTest, FailuresReturnFalseWithoutAMessage) {
    session.excelApp->injectFailure(20, 1004, QStringLiteral("Refused"));
    EXPECT_FALSE(fill());
    // A count that disagrees with the device table would write over the
    // template's signature lines.
    setDevice(3, 20, record::kEntryPresent);
    EXPECT_FALSE(fillReport(state, session, kSlot, base, 0, us));
    EXPECT_FALSE(fillReport(state, session, kSlot, base, 2, us));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(fillReport(state, session, kSlot, base, 1, us));
}

}  // namespace
}  // namespace ksx4::test
