#include "archive_view/judgement_colours.h"

namespace ksx4 {

std::optional<QColor> judgementFill(const QString& judgement) {
    if (judgement == QLatin1String("BAD")) return QColor(0xff, 0x00, 0x00);
    if (judgement == QLatin1String("WARN")) return QColor(0xff, 0xff, 0x00);
    return std::nullopt;
}

QColor judgementPointColour(const QString& judgement) {
    if (const auto fill = judgementFill(judgement)) return *fill;
    return judgement == QLatin1String("OK") ? QColor(0x00, 0x99, 0x33) : QColor(Qt::gray);
}

}  // namespace ksx4
