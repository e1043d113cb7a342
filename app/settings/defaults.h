#pragma once
// The factory settings of a tester: the default OK/BAD limits and report
// names. The limits editor, the names editor and the default data writer all
// take them from here.
#include "settings/memory_map.h"

#include <QString>

#include <array>
#include <cstdint>

namespace ksx4 {

struct LimitDefault {
    eeprom::Field field;
    uint16_t value;  // as stored: the voltage in millivolts
};

// In the order the default data writer stores them. The retransmits limit
// (default 0) is the editor's alone: the writer leaves it as it is.
inline constexpr std::array<LimitDefault, 8> kDefaultLimits{{
    {eeprom::kVoltageLimit, 9000},
    {eeprom::kSignalLimit, 150},
    {eeprom::kAvgLowNoiseLimit, 150},
    {eeprom::kPeakLowNoiseLimit, 150},
    {eeprom::kAvgFieldbusNoiseLimit, 75},
    {eeprom::kPeakFieldbusNoiseLimit, 75},
    {eeprom::kAvgHighNoiseLimit, 150},
    {eeprom::kPeakHighNoiseLimit, 150},
}};
inline constexpr LimitDefault kDefaultRetransmitLimit{eeprom::kRetransmitLimit, 0};

// The default of any of the nine limits the editor shows, as stored (0 for a
// field that is no limit).
constexpr uint16_t defaultLimitValue(const eeprom::Field& field) {
    if (field.address == kDefaultRetransmitLimit.field.address) {
        return kDefaultRetransmitLimit.value;
    }
    for (const LimitDefault& limit : kDefaultLimits) {
        if (limit.field.address == field.address) return limit.value;
    }
    return 0;
}
static_assert(defaultLimitValue(eeprom::kVoltageLimit) == 9000);
static_assert(defaultLimitValue(eeprom::kRetransmitLimit) == 0);

// "Report 1" .. "Report 8" for locations 1..8.
inline QString defaultReportName(int location) {
    return QStringLiteral("Report %1").arg(location);
}

// The default name as the tester stores it: filled up with blanks to the
// field's 15 characters.
inline QString storedDefaultReportName(int location) {
    return defaultReportName(location).leftJustified(eeprom::kReportNameLength, QLatin1Char(' '));
}

}  // namespace ksx4
