#pragma once
// A whole .xls file for a workbook: the BIFF8 "Workbook" stream wrapped in
// a compound file.
#include <cstdint>
#include <vector>

namespace ksx4::xls {

class Workbook;

// Raises 1004 when the workbook cannot be expressed in the format (for
// example a print area that is no address, or a header over 255 characters).
std::vector<uint8_t> buildWorkbookFile(const Workbook& book);

}  // namespace ksx4::xls
