// Writes sample workbooks into a folder for independent readers:
// "sample 6.xls" and "sample 32.xls", report-like layouts for 6 and 32
// devices, and "three sheets.xls", a default new workbook whose second
// sheet has a print area, merged cells and a hidden column.
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
        app->setSheetsInNewWorkbook(3);
        ksx4::xls::Workbook& book = app->addWorkbook();
        ksx4::xls::Worksheet& second = book.worksheet(2);
        second.range("B2").setValue(QStringLiteral("merged"));
        second.range("B2:C3").setMergeCells(true);
        second.columns("E").setHidden(true);
        second.pageSetup().printArea = QStringLiteral("B2:C3");
        book.saveAs(
            QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("three sheets.xls")));
    } catch (const ksx4::xls::SpreadsheetError& e) {
        std::fprintf(stderr, "error %d: %s\n", e.number, e.what());
        return 1;
    }
    return 0;
}
