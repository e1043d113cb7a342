#pragma once
// How the findings write their numbers: the same in every sentence and in
// every language setting, since the texts are English.
#include <QList>
#include <QString>

namespace ksx4::diagnosis::wording {

QString millivolts(double mv);                   // "820 mV"
QString volts(double mv);                        // "24.5 V"
QString percentChange(double ratio);             // 0.66 gives "−34 %", 1.85 gives "+85 %"
QString percent(double share);                   // 0.45 gives "45 %"
QString times(double factor);                    // "3.0 times"
QString date(const QString& time);               // "2026-03-01" of "2026-03-01T09:30:00"
QString addresses(const QList<int>& addresses);  // "4, 7 and 9"
// "1 device", "3 devices".
QString count(int n, const QString& one, const QString& many);

}  // namespace ksx4::diagnosis::wording
