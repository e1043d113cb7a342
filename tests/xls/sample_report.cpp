#include "sample_report.h"

namespace ksx4::xls::test {
namespace {

void heading(Worksheet& sheet, int row, const char* first) {
    Range cells = sheet.rows(QString::number(row));
    cells.setRowHeight(21);
    cells.font().setBold(true);
    const char* texts[] = {first, "Data", "Acceptable Values", "OK/BAD"};
    for (int c = 0; c < 4; ++c) sheet.cells(row, c + 1).setValue(QString::fromLatin1(texts[c]));
}

void grid(Application& app, Worksheet& sheet, int firstRow, int lastRow) {
    sheet.range(QStringLiteral("A%1:D%2").arg(firstRow).arg(lastRow)).select();
    Range selection = app.selection();
    selection.borders(BorderIndex::DiagonalDown).setLineStyle(kXlNone);
    selection.borders(BorderIndex::DiagonalUp).setLineStyle(kXlNone);
    for (auto index :
         {BorderIndex::EdgeLeft, BorderIndex::EdgeTop, BorderIndex::EdgeBottom,
          BorderIndex::EdgeRight, BorderIndex::InsideVertical, BorderIndex::InsideHorizontal}) {
        selection.borders(index).setLineStyle(kXlContinuous);
        selection.borders(index).setWeight(kXlThin);
        selection.borders(index).setColorIndex(kXlAutomatic);
    }
}

void mark(Application& app, Worksheet& sheet, const QString& cell, const char* text, int colour) {
    sheet.range(cell).setValue(QString::fromLatin1(text));
    sheet.range(cell).select();
    app.selection().interior().setColorIndex(colour);
    app.selection().interior().setPattern(kXlPatternSolid);
}

}  // namespace

SampleLayout sampleLayout(int devices) {
    SampleLayout layout{devices, 5 * devices + 27, {}, 0, 0, 0};
    for (int row = 53; row < layout.lastGridRow; row += 50) layout.pageBreaks.push_back(row);
    layout.dataCollectedRow = layout.lastGridRow + 9;
    layout.approvedRow = layout.lastGridRow + 13;
    layout.hiddenRow = layout.lastGridRow + 14;
    return layout;
}

QString longSampleText() {
    QString text;
    for (int i = 0; text.size() < 9000; ++i) text += QStringLiteral("Ω segment %1; ").arg(i);
    return text;
}

void buildSampleReport(Application& app, Worksheet& sheet, int devices) {
    const SampleLayout layout = sampleLayout(devices);
    PageSetup& setup = sheet.pageSetup();
    setup.centerHeader = QStringLiteral("&18&UFieldbus Segment Diagnostic Report");
    setup.leftFooter = QStringLiteral("Tank farm");
    setup.centerFooter = QStringLiteral("Page &P of &N");
    setup.rightFooter = QStringLiteral("\n&F");
    setup.leftMargin = setup.rightMargin = setup.topMargin = setup.bottomMargin =
        app.inchesToPoints(0.75);
    setup.headerMargin = setup.footerMargin = app.inchesToPoints(0.26);
    setup.zoom = 82;

    for (const char* column : {"A", "B", "C", "D"}) {
        Range range = sheet.columns(QString::fromLatin1(column));
        range.setHorizontalAlignment(column[0] == 'D' ? kXlRight : kXlLeft);
        range.setVerticalAlignment(kXlTop);
        range.setNumberFormat(QStringLiteral("@"));
        range.font().setSize(12);
    }
    sheet.rows("1:1").font().setBold(true);
    sheet.range("A1").setValue(QStringLiteral("Tank farm Segment Report"));
    sheet.range("F2").setValue(longSampleText());  // outside the print area
    heading(sheet, 6, "Segment Measurements");
    grid(app, sheet, 7, 25);
    const double widths[] = {45.33, 28.11, 22.56, 9.22};
    for (int c = 0; c < 4; ++c) sheet.columns(QString(QChar(u'A' + c))).setColumnWidth(widths[c]);
    for (int row = 7; row <= 25; ++row) {
        sheet.cells(row, 1).setValue(QStringLiteral("Measurement %1").arg(row));
        sheet.cells(row, 2).setValue(QStringLiteral("%1mV").arg(row * 10));
        sheet.cells(row, 3).setValue(QStringLiteral("150mV Maximum"));
        sheet.cells(row, 4).setValue(QStringLiteral("OK"));
    }
    mark(app, sheet, "D7", "BAD", 3);
    mark(app, sheet, "D23", "WARN", 6);

    heading(sheet, 28, "Device Measurements");
    int gridStart = 29;
    for (int breakRow : layout.pageBreaks) {
        grid(app, sheet, gridStart, breakRow - 1);
        sheet.addHorizontalPageBreak(sheet.cells(breakRow, 1));
        heading(sheet, breakRow, "Device Measurements");
        gridStart = breakRow + 1;
    }
    grid(app, sheet, gridStart, layout.lastGridRow);
    for (int d = 0; d < devices; ++d) {
        const int row = 29 + 5 * d;  // the spare row after every tenth device holds the headings
        sheet.cells(row, 1).setValue(QStringLiteral("Device Address"));
        sheet.cells(row, 2).setValue(
            QStringLiteral("%1 (%2H)").arg(d + 20).arg(d + 20, 0, 16).toUpper());
    }
    sheet.rows(QString::number(layout.lastGridRow + 3)).font().setBold(true);
    sheet.cells(layout.lastGridRow + 3, 4)
        .setValue(QStringLiteral("Measurement Summary: 1 Measurement is BAD and 1 WARNING"));
    const QString line = QStringLiteral("_______________________________________________");
    sheet.cells(layout.dataCollectedRow, 4).setValue(QStringLiteral("Data collected by ") + line);
    sheet.cells(layout.dataCollectedRow, 4).font().setSize(10);
    sheet.cells(layout.approvedRow, 4).setValue(QStringLiteral("Report approved by ") + line);
    sheet.cells(layout.approvedRow, 4).font().setSize(10);
    sheet.pageSetup().printArea = QStringLiteral("$A$1:$D$%1").arg(layout.approvedRow);
    sheet.cells(layout.hiddenRow, 1).setValue(QStringLiteral("KSX-4 Assistant Version"));
    sheet.cells(layout.hiddenRow, 2).setValue(QStringLiteral("2.09"));
    sheet.rows(QString::number(layout.hiddenRow)).setHidden(true);
    sheet.range("A1").select();
}

}  // namespace ksx4::xls::test
