#include "report/report_texts.h"

#include "diagnosis/segment_reading.h"

namespace ksx4 {

QString kiloText(uint32_t millivolts, const QLocale& locale) {
    const uint32_t tenths = (millivolts + 50) / 100;
    return QString::number(tenths / 10) + locale.decimalPoint() + QString::number(tenths % 10);
}

QString voltsText(uint32_t millivolts, const QLocale& locale) {
    return kiloText(millivolts, locale) + u'V';
}

QString millivoltsText(uint32_t millivolts) {
    return QString::number(millivolts) + QStringLiteral("mV");
}

QString addressText(uint32_t address) {
    return QString::number(address) + QStringLiteral(" (") +
           QString::number(address, 16).toUpper() + QStringLiteral("H)");
}

QString shieldShortText(uint8_t code) {
    return diagnosis::shieldShortText(code);
}

QString summarySentence(int badCount, int warnCount) {
    const QString prefix = QStringLiteral("Measurement Summary: ");
    const QString warnings = warnCount == 1
                                 ? QStringLiteral("1 WARNING")
                                 : QString::number(warnCount) + QStringLiteral(" WARNINGS");
    if (badCount == 0) {
        return prefix + (warnCount == 0 ? QStringLiteral("All Measurements are OK") : warnings);
    }
    const QString bad = badCount == 1
                            ? QStringLiteral("1 Measurement is BAD")
                            : QString::number(badCount) + QStringLiteral(" Measurements are BAD");
    return prefix + bad + (warnCount == 0 ? QString() : QStringLiteral(" and ") + warnings);
}

}  // namespace ksx4
