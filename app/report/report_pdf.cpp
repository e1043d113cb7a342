#include "report/report_pdf.h"

#include "pages/page_output.h"
#include "pages/sheet_pages.h"
#include "platform/files/durable_file.h"
#include "platform/xls/spreadsheet.h"

#include <QFileInfo>

namespace ksx4 {

QString pdfPathFor(const QString& workbookPath) {
    const QString extension = QStringLiteral(".xls");
    const bool xls = workbookPath.endsWith(extension, Qt::CaseInsensitive);
    return (xls ? workbookPath.chopped(extension.size()) : workbookPath) + QStringLiteral(".pdf");
}

QByteArray reportPdf(const xls::Worksheet& sheet, const QString& workbookFileName) {
    const pages::SheetPages printed(sheet.model(), workbookFileName, sheet.name());
    return pages::pdfDocument(printed, QFileInfo(workbookFileName).completeBaseName());
}

void writeReportPdf(const xls::Worksheet& sheet, const QString& workbookPath) {
    const QByteArray pdf = reportPdf(sheet, QFileInfo(workbookPath).fileName());
    const QString path = pdfPathFor(workbookPath);
    const auto failure =
        pdf.isEmpty()
            ? std::optional<files::WriteFailure>(
                  files::WriteFailure{QStringLiteral("The pages could not be drawn."), false})
            : files::writeFileDurably(path, reinterpret_cast<const uint8_t*>(pdf.constData()),
                                      static_cast<std::size_t>(pdf.size()));
    if (failure) {
        throw xls::SpreadsheetError(
            xls::kErrRequestRefused,
            QStringLiteral("Cannot save '%1': %2").arg(path, failure->reason),
            failure->fromSystem ? failure->reason : QString());
    }
}

}  // namespace ksx4
