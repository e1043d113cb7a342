#pragma once
// The compound file (version 3, 512-byte sectors) that holds a workbook's
// one stream, named "Workbook".
#include <cstdint>
#include <vector>

namespace ksx4::xls {

// Raises 1004 when the stream is too large for a single-level allocation
// table (about 6.8 MB).
std::vector<uint8_t> wrapInCompoundFile(const std::vector<uint8_t>& workbookStream);

}  // namespace ksx4::xls
