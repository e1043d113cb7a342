#include "report/report_template.h"

#include "core/operator.h"
#include "core/program_state.h"
#include "core/version.h"
#include "platform/xls/spreadsheet.h"
#include "report/template_plan.h"
#include "report/transfer_session.h"

#include <array>

namespace ksx4 {
namespace {

using namespace xls;

const QString kCollectedBy =
    QStringLiteral("Data collected by _______________________________________________");
const QString kApprovedBy =
    QStringLiteral("Report approved by _______________________________________________");
constexpr double kHeadingRowHeight = 21;
constexpr double kSignatureFontSize = 10;

QString rowText(int row) {
    return QString::number(row);
}
QString rowsAddress(int row) {
    return rowText(row) + u':' + rowText(row);
}
QString cellAddress(QChar column, int row) {
    return column + rowText(row);
}
QString gridAddress(const GridBlock& block) {
    return u'A' + rowText(block.firstRow) + QStringLiteral(":D") + rowText(block.lastRow);
}

// The footer shows the location name as stored; a lone "&" there would start
// a footer code, so it is doubled.
QString footerLiteral(const QString& text) {
    QString escaped = text;
    return escaped.replace(u'&', QStringLiteral("&&"));
}

void setUpPage(Worksheet& sheet, bool profibusPa, const QString& footerText) {
    const Application& app = sheet.application();
    const double margin = app.inchesToPoints(0.75);
    const double headerMargin = app.inchesToPoints(0.26);
    sheet.pageSetup().centerHeader =
        profibusPa ? QStringLiteral("&18&UProfibus PA Segment Diagnostic Report")
                   : QStringLiteral("&18&UFieldbus Segment Diagnostic Report");
    sheet.pageSetup().leftFooter = footerLiteral(footerText);
    sheet.pageSetup().centerFooter = QStringLiteral("Page &P of &N");
    sheet.pageSetup().rightFooter = QStringLiteral("\n&F");
    sheet.pageSetup().leftMargin = margin;
    sheet.pageSetup().rightMargin = margin;
    sheet.pageSetup().topMargin = margin;
    sheet.pageSetup().bottomMargin = margin;
    sheet.pageSetup().headerMargin = headerMargin;
    sheet.pageSetup().footerMargin = headerMargin;
    sheet.pageSetup().printHeadings = false;
    sheet.pageSetup().printGridlines = false;
    sheet.pageSetup().printComments = kXlNone;
    sheet.pageSetup().centerHorizontally = false;
    sheet.pageSetup().centerVertically = false;
    sheet.pageSetup().orientation = kXlPortrait;
    sheet.pageSetup().draft = false;
    sheet.pageSetup().paperSize = kXlPaperLetter;
    sheet.pageSetup().firstPageNumber = kXlAutomatic;
    sheet.pageSetup().order = kXlDownThenOver;
    sheet.pageSetup().blackAndWhite = false;
    sheet.pageSetup().zoom = 82;
}

void formatColumns(Worksheet& sheet) {
    for (const QChar column : {u'A', u'B', u'C', u'D'}) {
        const bool judgement = column == u'D';
        sheet.columns(column + QStringLiteral(":") + column).select();
        Range selection = sheet.application().selection();
        selection.setHorizontalAlignment(judgement ? kXlRight : kXlLeft);
        selection.setVerticalAlignment(kXlTop);
        selection.setWrapText(false);
        selection.setOrientation(0);
        if (!judgement) selection.setIndentLevel(0);
        selection.setShrinkToFit(false);
        selection.setMergeCells(false);
        selection.setNumberFormat(QStringLiteral("@"));
        selection.font().setSize(12);
    }
}

void styleHeadingRow(Worksheet& sheet, int row, const QString& firstHeading) {
    Range headingRow = sheet.rows(rowsAddress(row));
    headingRow.setRowHeight(kHeadingRowHeight);
    headingRow.font().setBold(true);
    const std::array<QString, 4> headings{firstHeading, QStringLiteral("Data"),
                                          QStringLiteral("Acceptable Values"),
                                          QStringLiteral("OK/BAD")};
    for (int column = 1; column <= 4; ++column) {
        sheet.cells(row, column).setValue(headings[static_cast<std::size_t>(column - 1)]);
    }
}

void styleGrid(Worksheet& sheet, const GridBlock& block) {
    sheet.range(gridAddress(block)).select();
    Range selection = sheet.application().selection();
    selection.borders(BorderIndex::DiagonalDown).setLineStyle(kXlNone);
    selection.borders(BorderIndex::DiagonalUp).setLineStyle(kXlNone);
    for (const BorderIndex edge :
         {BorderIndex::EdgeLeft, BorderIndex::EdgeTop, BorderIndex::EdgeBottom,
          BorderIndex::EdgeRight, BorderIndex::InsideVertical, BorderIndex::InsideHorizontal}) {
        Borders border = selection.borders(edge);
        border.setLineStyle(kXlContinuous);
        border.setWeight(kXlThin);
        border.setColorIndex(kXlAutomatic);
    }
}

void setColumnWidths(Worksheet& sheet) {
    sheet.columns(QStringLiteral("A:A")).setColumnWidth(45.33);
    sheet.columns(QStringLiteral("B:B")).setColumnWidth(28.11);
    sheet.columns(QStringLiteral("C:C")).setColumnWidth(22.56);
    sheet.columns(QStringLiteral("D:D")).setColumnWidth(9.22);
}

void writeSignatureLine(Worksheet& sheet, int row, const QString& text) {
    Range cell = sheet.range(cellAddress(u'D', row));
    cell.setValue(text);
    cell.font().setSize(kSignatureFontSize);
}

void addPageBreakBefore(Worksheet& sheet, int row) {
    sheet.addHorizontalPageBreak(sheet.cells(row, 1));
}

void writeDeviceSection(Worksheet& sheet, const TemplatePlan& plan) {
    const QString heading = QStringLiteral("Device Measurements");
    styleHeadingRow(sheet, plan.deviceHeadingRow, heading);
    for (std::size_t i = 0; i < plan.deviceBlocks.size(); ++i) {
        styleGrid(sheet, plan.deviceBlocks[i]);
        if (i + 1 == plan.deviceBlocks.size()) break;
        const int nextHeadingRow = plan.deviceBlocks[i].lastRow + 1;
        addPageBreakBefore(sheet, nextHeadingRow);
        styleHeadingRow(sheet, nextHeadingRow, heading);
    }
    sheet.rows(rowsAddress(plan.summaryRow)).font().setBold(true);
    if (plan.signatureBreakRow != 0) addPageBreakBefore(sheet, plan.signatureBreakRow);
}

void writeClosingRows(Worksheet& sheet, const TemplatePlan& plan) {
    writeSignatureLine(sheet, plan.collectedRow, kCollectedBy);
    writeSignatureLine(sheet, plan.approvedRow, kApprovedBy);
    sheet.pageSetup().printArea = QStringLiteral("$A$1:$D$") + rowText(plan.printAreaLastRow);
    sheet.range(cellAddress(u'A', plan.versionRow))
        .setValue(QStringLiteral("KSX-4 Assistant Version"));
    sheet.range(cellAddress(u'B', plan.versionRow)).setValue(programVersionText());
    sheet.rows(rowsAddress(plan.versionRow)).setHidden(true);
}

// Returns false after its message when more devices are asked for than the
// template holds.
bool buildTemplate(ProgramState& state, Worksheet& sheet, uint16_t deviceCount,
                   const QString& footerText) {
    const bool profibusPa = state.testerType == kKsx4Pa;
    const TemplatePlan plan =
        planTemplate(profibusPa, deviceCount <= kMaxReportDevices ? deviceCount : 0);

    setUpPage(sheet, profibusPa, footerText);
    formatColumns(sheet);
    sheet.rows(QStringLiteral("1:1")).font().setBold(true);
    styleHeadingRow(sheet, plan.segmentHeadingRow, QStringLiteral("Segment Measurements"));
    styleGrid(sheet, plan.segmentGrid);
    setColumnWidths(sheet);

    if (deviceCount == 0) {
        sheet.rows(rowsAddress(plan.summaryRow)).font().setBold(true);
    } else if (deviceCount > kMaxReportDevices) {
        state.ui.message(QStringLiteral("Failed to make report template; more than 32 devices."),
                         Buttons::Ok, Icon::Critical);
        return false;
    } else {
        writeDeviceSection(sheet, plan);
    }
    writeClosingRows(sheet, plan);
    return true;
}

}  // namespace

bool makeTemplate(ProgramState& state, TransferSession& session, uint16_t deviceCount,
                  const QString& footerText) {
    if (session.reportSheet == nullptr) {
        state.ui.message(QStringLiteral("makeTemplate error: no report worksheet Err.Number 0"),
                         Buttons::Ok, Icon::Critical);
        return false;
    }
    try {
        return buildTemplate(state, *session.reportSheet, deviceCount, footerText);
    } catch (const SpreadsheetError& error) {
        if (error.number == kErrRequestRefused) {
            state.ui.message(QStringLiteral("Do not open Excel while transferring reports. ") +
                             kCrLf + QStringLiteral("Please retry transfer. ") + error.description);
        } else {
            state.ui.message(QStringLiteral("makeTemplate error: ") + error.description +
                                 QStringLiteral(" Err.Number ") + QString::number(error.number),
                             Buttons::Ok, Icon::Critical);
        }
        return false;
    }
}

}  // namespace ksx4
