// Writes sample reports of both layouts for 0, 1, 5, 6, 16 and 32 devices
// into a folder, each workbook NAME.xls with the PDF our pages make of it
// beside it (NAME.pdf) and its first page as NAME.png, for the comparison
// with LibreOffice's printing of the same workbooks.
#include "core/program_state.h"
#include "pages/page_output.h"
#include "pages/sheet_pages.h"
#include "platform/pooled_threads.h"
#include "platform/xls/spreadsheet.h"
#include "sample_report_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>

namespace {

bool writeCase(const QDir& folder, uint16_t testerType, int devices) {
    const QString name = QStringLiteral("%1 %2 devices")
                             .arg(testerType == ksx4::kKsx4Pa ? "KSX-4-PA" : "KSX-4")
                             .arg(devices);
    const QString xls = folder.filePath(name + QStringLiteral(".xls"));
    bool drawn = false;
    const bool written =
        ksx4::writeSampleReport(xls, testerType, devices, [&](const ksx4::xls::Worksheet& sheet) {
            const ksx4::pages::SheetPages pages(sheet.model(), QFileInfo(xls).fileName());
            QFile pdf(folder.filePath(name + QStringLiteral(".pdf")));
            drawn = pdf.open(QIODevice::WriteOnly) &&
                    pdf.write(ksx4::pages::pdfDocument(pages, name)) > 0 && pdf.flush() &&
                    ksx4::pages::pageImage(pages, 0, 100)
                        .save(folder.filePath(name + QStringLiteral(".png")));
        });
    return written && drawn;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ksx4::joinPooledThreadsWhenTheApplicationEnds();
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) return 1;
    for (const uint16_t type : {ksx4::kKsx4, ksx4::kKsx4Pa}) {
        for (const int devices : {0, 1, 5, 6, 16, 32}) {
            if (!writeCase(folder, type, devices)) return 1;
        }
    }
    return 0;
}
