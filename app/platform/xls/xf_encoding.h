#pragma once
// How resolved cell formats become BIFF8 cell format (XF) records: the
// spreadsheet's constants translated to the file's codes.
#include "platform/xls/sheet_model.h"

#include <array>
#include <cstdint>

namespace ksx4::xls {

using XfRecord = std::array<uint8_t, 20>;

// The 20 data bytes of a cell XF for values, given the file's font and
// number format indexes for them.
XfRecord encodeCellXf(const FormatValues& values, uint16_t fontIndex, uint16_t formatIndex);

// The default palette: colour index n is palette entry n + 7.
uint8_t paletteColour(int colorIndex, uint8_t automatic);

// The cell XF every unformatted cell uses (XF 15).
XfRecord defaultCellXf();
// The style XFs 0..14 that precede it.
XfRecord styleXf(int index);

}  // namespace ksx4::xls
