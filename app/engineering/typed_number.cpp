#include "engineering/typed_number.h"

#include <cmath>

namespace ksx4 {
namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The length of the number at the start of text from pos: sign, digits,
// decimal point and digits, exponent; 0 when there is no digit.
qsizetype numberLength(const QString& text, qsizetype pos) {
    qsizetype at = pos;
    const auto digitsFrom = [&](qsizetype from) {
        qsizetype to = from;
        while (to < text.size() && isDigit(text[to])) ++to;
        return to;
    };
    if (at < text.size() && (text[at] == QLatin1Char('+') || text[at] == QLatin1Char('-'))) ++at;
    const qsizetype wholeEnd = digitsFrom(at);
    qsizetype end = wholeEnd;
    bool anyDigit = wholeEnd > at;
    if (end < text.size() && text[end] == QLatin1Char('.')) {
        const qsizetype fractionEnd = digitsFrom(end + 1);
        anyDigit = anyDigit || fractionEnd > end + 1;
        end = fractionEnd;
    }
    if (!anyDigit) return 0;
    if (end < text.size() && (text[end] == QLatin1Char('e') || text[end] == QLatin1Char('E'))) {
        qsizetype exponent = end + 1;
        if (exponent < text.size() &&
            (text[exponent] == QLatin1Char('+') || text[exponent] == QLatin1Char('-'))) {
            ++exponent;
        }
        const qsizetype exponentEnd = digitsFrom(exponent);
        if (exponentEnd > exponent) end = exponentEnd;
    }
    return end - pos;
}

}  // namespace

double typedNumber(const std::optional<QString>& typed) {
    if (!typed) return 0;
    const QString& text = *typed;
    qsizetype start = 0;
    while (start < text.size() && text[start].isSpace()) ++start;
    const qsizetype length = numberLength(text, start);
    if (length == 0) return 0;
    bool ok = false;
    const double number = text.mid(start, length).toDouble(&ok);
    if (!ok || !std::isfinite(number)) return 0;
    // The default rounding mode rounds halves to the even neighbour.
    return std::nearbyint(number) + 0.0;
}

QString wholeNumberText(double whole) {
    return QString::number(whole + 0.0, 'f', 0);
}

}  // namespace ksx4
