#pragma once
// The value texts of a filled report: volts, millivolts, addresses, shield
// short codes and the closing summary sentence.
#include <QLocale>
#include <QString>

#include <cstdint>

namespace ksx4 {

// millivolts / 1000 with exactly one decimal, rounded half up, in the
// locale's decimal sign: 24500 gives "24.5", 8990 gives "9.0".
QString kiloText(uint32_t millivolts, const QLocale& locale);
QString voltsText(uint32_t millivolts, const QLocale& locale);  // "24.5V"
QString millivoltsText(uint32_t millivolts);                    // "850mV"
QString addressText(uint32_t address);                          // "20 (14H)"
QString shieldShortText(uint8_t code);
QString summarySentence(int badCount, int warnCount);

}  // namespace ksx4
