#pragma once
// A report state with a one-sheet workbook of our spreadsheet component in
// session.reportSheet, as the transfer sets it up before the template.
#include "platform/xls/spreadsheet.h"
#include "report/transfer_session.h"
#include "report_fixture.h"

namespace ksx4::test {

class ReportSheetTest : public ReportStateTest {
  public:
    ReportSheetTest() {
        session.excelApp = xls::Application::create(ui);
        session.excelApp->setSheetsInNewWorkbook(1);
        session.reportWorkbook = &session.excelApp->addWorkbook();
        session.reportSheet = &session.reportWorkbook->worksheet(1);
    }

    TransferSession session;
    xls::Worksheet& sheet() { return *session.reportSheet; }
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
