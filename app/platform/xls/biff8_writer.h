#pragma once
// The BIFF8 "Workbook" stream of a workbook: globals (fonts, formats, cell
// formats, sheets, the print area names, the shared strings) followed by one
// substream per worksheet.
#include <cstdint>
#include <vector>

namespace ksx4::xls {

class Workbook;

std::vector<uint8_t> writeBiff8Workbook(const Workbook& book);

}  // namespace ksx4::xls
