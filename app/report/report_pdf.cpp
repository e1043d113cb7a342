#include "report/report_pdf.h"

#include "pages/page_output.h"
#include "pages/sheet_pages.h"
#include "platform/xls/spreadsheet.h"

#include <QFileInfo>

namespace ksx4 {

QString pdfPathFor(const QString& workbookPath) {
    const QString extension = QStringLiteral(".xls");
    const bool xls = workbookPath.endsWith(extension, Qt::CaseInsensitive);
    return (xls ? workbookPath.chopped(extension.size()) : workbookPath) + QStringLiteral(".pdf");
}

QByteArray reportPdf(const xls::Worksheet& sheet, const QString& workbookFileName) {
    return reportPdf(sheet.model(), sheet.name(), workbookFileName);
}

QByteArray reportPdf(const xls::SheetModel& model, const QString& sheetName,
                     const QString& workbookFileName) {
    const pages::SheetPages printed(model, workbookFileName, sheetName);
    return pages::pdfDocument(printed, QFileInfo(workbookFileName).completeBaseName());
}

std::optional<files::WriteFailure> writePdfFile(const QString& path, const QByteArray& pdf) {
    if (pdf.isEmpty())
        return files::WriteFailure{QStringLiteral("The pages could not be drawn."), false};
    return files::writeFileDurably(path, reinterpret_cast<const uint8_t*>(pdf.constData()),
                                   static_cast<std::size_t>(pdf.size()));
}

void writeReportPdf(const xls::Worksheet& sheet, const QString& workbookPath) {
    const QByteArray pdf = reportPdf(sheet, QFileInfo(workbookPath).fileName());
    const QString path = pdfPathFor(workbookPath);
    if (const auto failure = writePdfFile(path, pdf)) {
        throw xls::SpreadsheetError(
            xls::kErrRequestRefused,
            QStringLiteral("Cannot save '%1': %2").arg(path, failure->reason),
            failure->fromSystem ? failure->reason : QString());
    }
}

}  // namespace ksx4
