// Writes sample workbooks into a folder for independent readers:
// "sample 6.xls" and "sample 32.xls", report-like layouts for 6 and 32
// devices.
#include "sample_report.h"
#include "scripted_operator.h"

#include <QDir>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    ksx4::test::VirtualClock clock;
    ksx4::test::ScriptedOperator ui(clock);
    try {
        auto app = ksx4::xls::Application::create(ui);
        app->setSheetsInNewWorkbook(1);
        for (int devices : {6, 32}) {
            ksx4::xls::Workbook& book = app->addWorkbook();
            ksx4::xls::test::buildSampleReport(*app, book.worksheet(1), devices);
            book.saveAs(QDir(QString::fromLocal8Bit(argv[1]))
                            .filePath(QStringLiteral("sample %1.xls").arg(devices)));
            book.close(false);
        }
    } catch (const ksx4::xls::SpreadsheetError& e) {
        std::fprintf(stderr, "error %d: %s\n", e.number, e.what());
        return 1;
    }
    return 0;
}
