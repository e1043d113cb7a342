#pragma once
// A report state with a one-sheet workbook of our spreadsheet component in
// state.reportSheet, as the transfer sets it up before the template.
#include "platform/xls/spreadsheet.h"
#include "report_fixture.h"

namespace ksx4::test {

class ReportSheetTest : public ReportStateTest {
  public:
    ReportSheetTest() {
        state.excelApp = xls::Application::create(ui);
        state.excelApp->setSheetsInNewWorkbook(1);
        state.reportWorkbook = &state.excelApp->addWorkbook();
        state.reportSheet = &state.reportWorkbook->worksheet(1);
    }

    xls::Worksheet& sheet() { return *state.reportSheet; }
    QString text(const QString& address) {
        const xls::Area a = xls::parseAddress(address);
        return sheet().text(a.firstRow, a.firstColumn);
    }
    xls::CellFormat format(const QString& address) {
        const xls::Area a = xls::parseAddress(address);
        return sheet().format(a.firstRow, a.firstColumn);
    }
};

}  // namespace ksx4::test
