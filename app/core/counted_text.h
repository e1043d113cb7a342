#pragma once
// A count with its noun in the number it takes: "1 report", "8 reports",
// "0 reports".
#include <QLatin1String>
#include <QString>

namespace ksx4 {

inline QString countedText(long long count, QLatin1String one, QLatin1String many) {
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? one : many);
}

}  // namespace ksx4
