#pragma once
// The workbook's default colour palette, by the spreadsheet's colour index.
#include <QColor>

namespace ksx4::pages {

// Index 1..56 of the default palette; automatic, none or anything else gives
// fallback.
QColor paletteColour(int colorIndex, QColor fallback);

}  // namespace ksx4::pages
