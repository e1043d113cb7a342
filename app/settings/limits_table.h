#pragma once
// The rows of the OK/BAD limits editor: where each limit is stored, its
// bounds and every text that belongs to it. The editor checks and writes the
// rows in this order.
#include "settings/limits_form.h"
#include "settings/memory_map.h"

#include <QLocale>
#include <QString>

#include <array>
#include <cstdint>

namespace ksx4 {

struct LimitRow {
    LimitBox box;
    const char* boxName;  // the box's control name
    const char* label;
    const char* unit;
    eeprom::Field field;
    bool inVolts;  // the box shows volts; the tester stores millivolts
    double lower;  // bounds of the box's number, inclusive
    double upper;
    const char* belowMessage;
    const char* aboveMessage;
    const char* formatMessage;
    const char* writeMessage;
    const char* consoleName;  // the name ksx4ctl gives the limit
};

// clang-format off
inline constexpr std::array<LimitRow, 9> kLimitRows{{
    {LimitBox::Voltage, "Text1", "Voltage", "V Minimum", eeprom::kVoltageLimit, true, 8, 32,
     "Voltage limit should be at least 8V.",
     "Voltage limit should be no more than 32V.",
     "Set OK/BAD Limits Error: Error formatting voltage limit to send to EEPROM.",
     "Unable to write voltage limit to KSX-4.", "voltage"},
    {LimitBox::Signal, "Text2", "Signal Level", "mV Minimum", eeprom::kSignalLimit, false, 100, 1000,
     "Signal Level limit should be at least 100mV.",
     // Worded exactly so, "Voltage" included.
     "Voltage limit should be at no more than 1000mV.",
     "Set OK/BAD Limits Error: Error formatting signal level limit to send to EEPROM.",
     "Unable to write signal level limit to KSX-4.", "signal"},
    {LimitBox::AvgFieldbusNoise, "Text3", "Avg Fieldbus Frequency Noise", "mV Maximum",
     eeprom::kAvgFieldbusNoiseLimit, false, 25, 2000,
     "Average fieldbus frequency noise limit should be at least 25mV.",
     "Average fieldbus frequency noise limit should be no more than 2000mV.",
     "Set OK/BAD Limits Error: Error formatting average FF noise limit to send to EEPROM.",
     "Unable to write average FF noise limit to KSX-4.", "ff-avg"},
    {LimitBox::PeakFieldbusNoise, "Text4", "Peak Fieldbus Frequency Noise", "mV Maximum",
     eeprom::kPeakFieldbusNoiseLimit, false, 25, 2000,
     "Peak fieldbus frequency noise limit should be at least 25mV.",
     "Peak fieldbus frequency noise limit should be no more than 2000mV.",
     "Set OK/BAD Limits Error: Error formatting peak FF noise limit to send to EEPROM.",
     "Unable to write peak FF noise limit to KSX-4.", "ff-peak"},
    {LimitBox::AvgLowNoise, "Text5", "Avg Low Frequency Noise", "mV Maximum",
     eeprom::kAvgLowNoiseLimit, false, 25, 2000,
     "Average low frequency noise limit should be at least 25mV.",
     "Average low frequency noise limit should be no more than 2000mV.",
     "Set OK/BAD Limits Error: Error formatting average LF noise limit to send to EEPROM.",
     "Unable to write average LF noise limit to KSX-4.", "lf-avg"},
    {LimitBox::PeakLowNoise, "Text6", "Peak Low Frequency Noise", "mV Maximum",
     eeprom::kPeakLowNoiseLimit, false, 25, 2000,
     "Peak low frequency noise limit should be at least 25mV.",
     "Peak low frequency noise limit should be no more than 2000mV.",
     "Set OK/BAD Limits Error: Error formatting peak LF noise limit to send to EEPROM.",
     "Unable to write peak LF noise limit to KSX-4.", "lf-peak"},
    {LimitBox::AvgHighNoise, "Text7", "Avg High Frequency Noise", "mV Maximum",
     eeprom::kAvgHighNoiseLimit, false, 25, 2000,
     "Average high frequency noise limit should be at least 25mV.",
     "Average high frequency noise limit should be no more than 2000mV.",
     "Set OK/BAD Limits Error: Error formatting average HF noise limit to send to EEPROM.",
     "Unable to write average HF noise limit to KSX-4.", "hf-avg"},
    {LimitBox::PeakHighNoise, "Text8", "Peak High Frequency Noise", "mV Maximum",
     eeprom::kPeakHighNoiseLimit, false, 25, 2000,
     "Peak high frequency noise limit should be at least 25mV.",
     "Peak high frequency noise limit should be no more than 2000mV.",
     "Set OK/BAD Limits Error: Error formatting peak HF noise limit to send to EEPROM.",
     "Unable to write peak HF noise limit to KSX-4.", "hf-peak"},
    {LimitBox::Retransmits, "Text11", "Device Retransmits", "Maximum", eeprom::kRetransmitLimit,
     false, 0, 250,
     "Device Retransmits limit should be at least 0.",
     "Device Retransmits limit should be no more than 250.",
     "Set OK/BAD Limits Error: Error formatting retransmits limit to send to EEPROM.",
     "Unable to write retransmits limit to KSX-4.", "retransmits"},
}};
// clang-format on

// The two rows between Text8 and Text11 that show fixed criteria, neither
// read from nor written to the tester.
struct FixedLimitRow {
    const char* boxName;
    const char* label;
    const char* text;
};
inline constexpr std::array<FixedLimitRow, 2> kFixedLimitRows{{
    {"Text9", "Shield Short", "No Shorts"},
    {"Text10", "Device Add or Drop", "None Added/Dropped"},
}};

const LimitRow& limitRow(LimitBox box);

// The box text of a stored word: volts with voltDecimals decimal places in
// the number format (9000 shows as 9.0 with one), anything else as its
// decimal text.
QString limitBoxText(const LimitRow& row, uint16_t stored, const QLocale& numberFormat,
                     int voltDecimals = 1);

}  // namespace ksx4
