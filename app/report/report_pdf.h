#pragma once
// A report's printed pages as a PDF beside its workbook.
#include <QByteArray>
#include <QString>

namespace ksx4 {

namespace xls {
class Worksheet;
}

// NAME.pdf for NAME.xls (any other name gets ".pdf" added).
QString pdfPathFor(const QString& workbookPath);

// sheet's printed pages as a PDF document, the footers naming the workbook
// file workbookFileName ("Tank 2025-08-04 05-26.xls"). Empty when the pages
// could not be drawn.
QByteArray reportPdf(const xls::Worksheet& sheet, const QString& workbookFileName);

// Draws sheet's pages, their footers naming the workbook's file, and writes
// them durably to pdfPathFor(workbookPath), replacing a file there. Raises
// xls::SpreadsheetError 1004 (with the system's reason where it gave one)
// when the file cannot be written; an existing file is then left untouched.
void writeReportPdf(const xls::Worksheet& sheet, const QString& workbookPath);

}  // namespace ksx4
