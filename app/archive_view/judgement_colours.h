#pragma once
// The fills the workbook gives a judgement's cell (the spreadsheet's
// palette red for BAD and yellow for WARN; OK stays unfilled), and the
// colours charts mark judged points with.
#include <QColor>
#include <QString>

#include <optional>

namespace ksx4 {

std::optional<QColor> judgementFill(const QString& judgement);
// A point's colour: the fill, and green for OK (grey when not judged).
QColor judgementPointColour(const QString& judgement);

}  // namespace ksx4
