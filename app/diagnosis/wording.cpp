#include "diagnosis/wording.h"

#include <cmath>

namespace ksx4::diagnosis::wording {

QString millivolts(double mv) {
    return QString::number(std::llround(mv)) + QStringLiteral(" mV");
}

QString volts(double mv) {
    // To the millivolt, without trailing zeros: a rounded 10.0 V would hide
    // that 9999 mV is less than 1 V above a 9 V minimum.
    QString text = QString::number(double(std::llround(mv)) / 1000.0, 'f', 3);
    while (text.endsWith(u'0')) text.chop(1);
    if (text.endsWith(u'.')) text.chop(1);
    return text + QStringLiteral(" V");
}

QString percentChange(double ratio) {
    const long long change = std::llround((ratio - 1.0) * 100.0);
    const QString sign = change < 0 ? QStringLiteral("\u2212") : QStringLiteral("+");
    return sign + QString::number(std::llabs(change)) + QStringLiteral(" %");
}

QString percent(double share) {
    return QString::number(std::llround(share * 100.0)) + QStringLiteral(" %");
}

QString times(double factor) {
    return QString::number(factor, 'f', 1) + QStringLiteral(" times");
}

QString date(const QString& time) {
    return time.left(10);
}

QString addresses(const QList<int>& list) {
    QString text;
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i > 0) text += i + 1 == list.size() ? QStringLiteral(" and ") : QStringLiteral(", ");
        text += QString::number(list[i]);
    }
    return text;
}

QString count(int n, const QString& one, const QString& many) {
    return QString::number(n) + u' ' + (n == 1 ? one : many);
}

}  // namespace ksx4::diagnosis::wording
