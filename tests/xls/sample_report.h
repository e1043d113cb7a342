#pragma once
// A report-like worksheet for checking written files: a title row, a headed
// and ruled grid with a red and a yellow cell, a device grid that runs over
// pages with manual breaks, signature lines, a print area, a hidden row,
// page header and footers.
#include "platform/xls/spreadsheet.h"

namespace ksx4::xls::test {

// The rows of the layout for a number of devices.
struct SampleLayout {
    int devices;
    int lastGridRow;
    std::vector<int> pageBreaks;  // rows a break stands before
    int dataCollectedRow, approvedRow, hiddenRow;
};
SampleLayout sampleLayout(int devices);

// A text of more than one shared-string record, with characters beyond one
// byte, in F2: early in the string table, outside the print area.
QString longSampleText();

void buildSampleReport(Application& app, Worksheet& sheet, int devices);

}  // namespace ksx4::xls::test
