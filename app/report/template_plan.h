#pragma once
// Where the report template puts its parts for a number of devices: the
// segment grid, the device grid blocks with their page breaks and repeated
// headings, the summary row, the signature lines, the print area and the
// hidden version row.
#include <vector>

namespace ksx4 {

inline constexpr int kMaxReportDevices = 32;

// The rows each layout fixes; the template lays them out and the filling
// writes into them.
struct LayoutRows {
    int segmentHeadingRow, segmentGridFirst, segmentGridLast;
    int deviceHeadingRow, noDeviceSummaryRow, noDeviceCollectedRow;
    int rowsPerDevice, devicesOnFirstPage, devicesPerFurtherPage;

    int firstDeviceRow() const { return deviceHeadingRow + 1; }
};
const LayoutRows& layoutRows(bool profibusPa);

struct GridBlock {
    int firstRow = 0;
    int lastRow = 0;
    friend bool operator==(const GridBlock&, const GridBlock&) = default;
};

struct TemplatePlan {
    int segmentHeadingRow = 0;
    GridBlock segmentGrid;
    int deviceHeadingRow = 0;  // 0: no device section
    // Device grid blocks, one per page; a page break and a repeated device
    // heading stand in the row after every block but the last.
    std::vector<GridBlock> deviceBlocks;
    int lastDeviceRow = 0;                  // L
    int summaryRow = 0;                     // set in bold, filled with the summary
    int signatureBreakRow = 0;              // 0: the signatures need no page of their own
    int collectedRow = 0, approvedRow = 0;  // signature lines in column D
    int printAreaLastRow = 0;
    int versionRow = 0;

    // Every manual page break, as the rows they stand before, ascending.
    std::vector<int> pageBreaks() const;
};

// deviceCount 0..32.
TemplatePlan planTemplate(bool profibusPa, int deviceCount);

}  // namespace ksx4
