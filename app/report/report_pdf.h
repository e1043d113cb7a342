#pragma once
// A report's printed pages as a PDF beside its workbook.
#include "platform/files/durable_file.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace ksx4 {

namespace xls {
class SheetModel;
class Worksheet;
}  // namespace xls

// NAME.pdf for NAME.xls (any other name gets ".pdf" added).
QString pdfPathFor(const QString& workbookPath);

// sheet's printed pages as a PDF document, the footers naming the workbook
// file workbookFileName ("Tank 2025-08-04 05-26.xls"). Empty when the pages
// could not be drawn.
QByteArray reportPdf(const xls::Worksheet& sheet, const QString& workbookFileName);
// The same for a sheet's model named sheetName (what the &A code shows).
QByteArray reportPdf(const xls::SheetModel& model, const QString& sheetName,
                     const QString& workbookFileName);

// Writes pdf durably to path, replacing a file there: nullopt, or why it
// was not written ("The pages could not be drawn." when pdf is empty). An
// existing file is left untouched on failure.
std::optional<files::WriteFailure> writePdfFile(const QString& path, const QByteArray& pdf);

// Draws sheet's pages, their footers naming the workbook's file, and writes
// them durably to pdfPathFor(workbookPath), replacing a file there. Raises
// xls::SpreadsheetError 1004 (with the system's reason where it gave one)
// when the file cannot be written; an existing file is then left untouched.
void writeReportPdf(const xls::Worksheet& sheet, const QString& workbookPath);

}  // namespace ksx4
