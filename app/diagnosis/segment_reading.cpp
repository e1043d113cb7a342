#include "diagnosis/segment_reading.h"

#include <array>

namespace ksx4::diagnosis {

QString shieldShortText(int code) {
    static const std::array<QString, 8> texts{
        QStringLiteral("Short to (+)"),
        QStringLiteral("Short to (-)"),
        QStringLiteral("No Shorts"),
        QStringLiteral("Both"),
        QStringLiteral("Intermittent Short to (+)"),
        QStringLiteral("Intermittent Short to (-)"),
        QStringLiteral("Short to (+)"),
        QStringLiteral("Short to (-)"),
    };
    return code >= 0 && code < static_cast<int>(texts.size())
               ? texts[static_cast<std::size_t>(code)]
               : QStringLiteral("Unknown");
}

bool shieldShortIntermittent(int code) {
    return code == 4 || code == 5;
}

}  // namespace ksx4::diagnosis
