#pragma once
// How a long wait shows the time it has taken so far: minutes and seconds,
// "0:07", "12:40".
#include <QString>

#include <chrono>

namespace ksx4 {

inline QString elapsedText(std::chrono::milliseconds elapsed) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace ksx4
