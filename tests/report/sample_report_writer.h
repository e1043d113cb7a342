#pragma once
// Sample reports built the way the transfer builds them, from a report
// stored in the first slot of an in-memory tester: location "North field",
// a BAD voltage, red and yellow judgements and deviceCount devices.
#include <QString>

#include <cstdint>
#include <functional>

namespace ksx4 {

namespace xls {
class Worksheet;
}

// Builds the sample and saves it as path (an empty path: not saved); saved
// then sees the sheet while its workbook is still open. False after a
// message on standard error.
bool writeSampleReport(const QString& path, uint16_t testerType, int deviceCount,
                       const std::function<void(const xls::Worksheet&)>& saved = {});

}  // namespace ksx4
