#include "report/template_plan.h"

namespace ksx4 {
namespace {

constexpr LayoutRows kFieldbusRows{6, 7, 25, 28, 28, 33, 5, 5, 10};
constexpr LayoutRows kProfibusPaRows{4, 5, 17, 20, 20, 26, 6, 5, 8};

}  // namespace

const LayoutRows& layoutRows(bool profibusPa) {
    return profibusPa ? kProfibusPaRows : kFieldbusRows;
}

std::vector<int> TemplatePlan::pageBreaks() const {
    std::vector<int> rows;
    for (std::size_t i = 0; i + 1 < deviceBlocks.size(); ++i) {
        rows.push_back(deviceBlocks[i].lastRow + 1);
    }
    if (signatureBreakRow != 0) rows.push_back(signatureBreakRow);
    return rows;
}

TemplatePlan planTemplate(bool profibusPa, int deviceCount) {
    const LayoutRows& layout = layoutRows(profibusPa);
    TemplatePlan plan;
    plan.segmentHeadingRow = layout.segmentHeadingRow;
    plan.segmentGrid = {layout.segmentGridFirst, layout.segmentGridLast};
    if (deviceCount <= 0) {
        plan.summaryRow = layout.noDeviceSummaryRow;
        plan.collectedRow = layout.noDeviceCollectedRow;
        plan.approvedRow = plan.collectedRow + 4;
        plan.printAreaLastRow = plan.approvedRow;
        plan.versionRow = plan.approvedRow + 1;
        return plan;
    }

    const int firstDeviceRow = layout.firstDeviceRow();
    const int lastDeviceRow = firstDeviceRow + layout.rowsPerDevice * deviceCount - 2;
    plan.deviceHeadingRow = layout.deviceHeadingRow;
    plan.lastDeviceRow = lastDeviceRow;

    // Each page's block ends one row before the next page's heading; the
    // device blocks keep their spacing, so that heading takes the place of
    // the empty row after the page's last device.
    int devicesLeft = deviceCount;
    int pageCapacity = layout.devicesOnFirstPage;
    int blockFirst = firstDeviceRow;
    while (devicesLeft > pageCapacity) {
        const int blockLast = blockFirst + layout.rowsPerDevice * pageCapacity - 2;
        plan.deviceBlocks.push_back({blockFirst, blockLast});
        devicesLeft -= pageCapacity;
        pageCapacity = layout.devicesPerFurtherPage;
        blockFirst = blockLast + 2;
    }
    plan.deviceBlocks.push_back({blockFirst, lastDeviceRow});

    plan.summaryRow = lastDeviceRow + 3;
    // A full last page, or one a device short of full, leaves no room for
    // the summary and signatures: they go to a page of their own.
    if (devicesLeft >= pageCapacity - 1) plan.signatureBreakRow = lastDeviceRow + 4;
    const bool shortFieldbusReport = !profibusPa && deviceCount <= 3;
    plan.collectedRow = lastDeviceRow + (shortFieldbusReport ? 7 : 9);
    plan.approvedRow = plan.collectedRow + 4;
    plan.printAreaLastRow = plan.approvedRow;
    plan.versionRow = plan.approvedRow + 1;
    return plan;
}

}  // namespace ksx4
