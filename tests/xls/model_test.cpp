// The worksheet model: addresses, how formats combine, borders, validation,
// selection and the request hooks.
#include "platform/xls/spreadsheet.h"
#include "scripted_operator.h"

#include <gtest/gtest.h>

namespace ksx4::xls {
namespace {

class SheetTest : public ::testing::Test {
  protected:
    test::VirtualClock clock;
    test::ScriptedOperator ui{clock};
    std::unique_ptr<Application> app = Application::create(ui);
    Workbook& book = app->addWorkbook();
    Worksheet& sheet = book.worksheet(1);

    void expectError(int number, const std::function<void()>& request) {
        try {
            request();
            ADD_FAILURE() << "no error raised";
        } catch (const SpreadsheetError& e) {
            EXPECT_EQ(e.number, number) << e.description.toStdString();
        }
    }
};

TEST(AddressTest, ParsesCellsAreasColumnsAndRows) {
    const struct {
        const char* text;
        Area area;
    } cases[] = {
        {"A1", {1, 1, 1, 1}},
        {"A7:D25", {7, 1, 25, 4}},
        {"$A$1:$D$37", {1, 1, 37, 4}},
        {"d25:a7", {7, 1, 25, 4}},
        {"A:A", {1, 1, kMaxRows, 1}},
        {"B:$D", {1, 2, kMaxRows, 4}},
        {"1:1", {1, 1, 1, kMaxColumns}},
        {"$6:8", {6, 1, 8, kMaxColumns}},
        {"IV65536", {kMaxRows, kMaxColumns, kMaxRows, kMaxColumns}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseAddress(QString::fromLatin1(c.text)), c.area) << c.text;
}

TEST(AddressTest, RefusesWhatIsNoAddress) {
    for (const char* text : {"", "A", "7", "A0", "IW1", "A65537", "A1:B", "A:1", "$", "A1 ",
                             "A1,B2", "A1:B2:C3", "$$A1", "AAAA1", "Sheet1!A1"}) {
        try {
            parseAddress(QString::fromLatin1(text));
            ADD_FAILURE() << "accepted " << text;
        } catch (const SpreadsheetError& e) {
            EXPECT_EQ(e.number, kErrRequestRefused);
        }
    }
}

TEST_F(SheetTest, LaterRequestsOverrideEarlierOnesForTheCellsTheyCover) {
    sheet.columns("A:A").font().setSize(12);
    sheet.columns("A:A").setHorizontalAlignment(kXlLeft);
    sheet.rows("1:1").font().setBold(true);
    sheet.range("A1:B1").font().setSize(10);  // a cell request after the column's
    sheet.columns("A:A").setNumberFormat("@");
    sheet.rows("2:2").setHorizontalAlignment(kXlRight);  // a row request after the column's

    const CellFormat a1 = sheet.format(1, 1);
    EXPECT_EQ(a1.fontSize, 10);
    EXPECT_TRUE(a1.bold);
    EXPECT_EQ(a1.horizontalAlignment, kXlLeft);
    EXPECT_EQ(a1.numberFormat, "@");
    EXPECT_EQ(sheet.format(2, 1).horizontalAlignment, kXlRight);
    EXPECT_EQ(sheet.format(2, 1).fontSize, 12);
    EXPECT_EQ(sheet.format(3, 1).fontSize, 12);
    EXPECT_TRUE(sheet.format(1, 200).bold);
    EXPECT_EQ(sheet.format(3, 2), CellFormat{});

    sheet.columns("A:A").font().setSize(14);  // the column again: now it wins in A1 too
    EXPECT_EQ(sheet.format(1, 1).fontSize, 14);
}

TEST_F(SheetTest, GridStyleGivesEveryCellOfTheRangeItsOwnEdges) {
    Range grid = sheet.range("A7:D9");
    for (auto index : {BorderIndex::DiagonalDown, BorderIndex::DiagonalUp})
        grid.borders(index).setLineStyle(kXlNone);
    for (auto index :
         {BorderIndex::EdgeLeft, BorderIndex::EdgeTop, BorderIndex::EdgeBottom,
          BorderIndex::EdgeRight, BorderIndex::InsideVertical, BorderIndex::InsideHorizontal}) {
        grid.borders(index).setLineStyle(kXlContinuous);
        grid.borders(index).setWeight(kXlThin);
        grid.borders(index).setColorIndex(kXlAutomatic);
    }
    const Border thin{kXlContinuous, kXlThin, kXlAutomatic};
    for (int r = 7; r <= 9; ++r) {
        for (int c = 1; c <= 4; ++c) {
            const CellFormat f = sheet.format(r, c);
            EXPECT_EQ(f.left, thin);
            EXPECT_EQ(f.right, thin);
            EXPECT_EQ(f.top, thin);
            EXPECT_EQ(f.bottom, thin);
            EXPECT_EQ(f.diagonalDown.lineStyle, kXlNone);
        }
    }
    EXPECT_EQ(sheet.format(6, 1), CellFormat{});
    EXPECT_EQ(sheet.format(7, 5), CellFormat{});

    Range single = sheet.range("F2");  // an edge of one cell touches that cell only
    single.borders(BorderIndex::EdgeRight).setLineStyle(kXlContinuous);
    single.borders(BorderIndex::InsideHorizontal).setLineStyle(kXlContinuous);
    EXPECT_EQ(sheet.format(2, 6).right.lineStyle, kXlContinuous);
    EXPECT_EQ(sheet.format(2, 6).top.lineStyle, kXlNone);
    EXPECT_EQ(sheet.format(2, 7), CellFormat{});
}

TEST_F(SheetTest, SelectionInteriorTextsAndRowsAndColumns) {
    EXPECT_EQ(app->selection().area(), (Area{1, 1, 1, 1}));  // a new workbook selects A1
    sheet.range("D7").setValue("BAD");
    sheet.range("D7").select();
    app->selection().interior().setColorIndex(3);
    app->selection().interior().setPattern(kXlPatternSolid);
    EXPECT_EQ(sheet.format(7, 4).interiorColorIndex, 3);
    EXPECT_EQ(sheet.format(7, 4).interiorPattern, kXlPatternSolid);
    EXPECT_EQ(sheet.range("D7").value(), "BAD");
    EXPECT_EQ(sheet.text(7, 4), "BAD");
    sheet.range("D7").interior().setColorIndex(kXlNone);
    EXPECT_EQ(sheet.format(7, 4).interiorPattern, kXlNone);

    sheet.range("A2:B3").setValue("x");
    EXPECT_EQ(sheet.text(3, 2), "x");
    sheet.range("A2:B3").setValue("");
    EXPECT_EQ(sheet.text(3, 2), "");

    sheet.rows("6:6").setRowHeight(21);
    sheet.rows("38").setHidden(true);
    sheet.columns("A").setColumnWidth(45.33);
    sheet.columns("C:D").setHidden(true);
    EXPECT_EQ(sheet.rowHeight(6), 21);
    EXPECT_EQ(sheet.rowHeight(7), std::nullopt);
    EXPECT_TRUE(sheet.rowHidden(38));
    EXPECT_FALSE(sheet.rowHidden(37));
    EXPECT_EQ(sheet.columnWidth(1), 45.33);
    EXPECT_EQ(sheet.columnWidth(2), std::nullopt);
    EXPECT_TRUE(sheet.columnHidden(4));

    sheet.addHorizontalPageBreak(sheet.cells(103, 1));
    sheet.addHorizontalPageBreak(sheet.cells(53, 1));
    sheet.addHorizontalPageBreak(sheet.cells(53, 1));
    EXPECT_EQ(sheet.horizontalPageBreaks(), (std::vector<int>{53, 103}));

    sheet.range("A1:B2").setMergeCells(true);
    EXPECT_TRUE(sheet.format(2, 2).mergeCells);
    sheet.range("B2").setMergeCells(false);
    EXPECT_FALSE(sheet.format(1, 1).mergeCells);
}

TEST_F(SheetTest, UsedCellsAreTextsOwnFormatsAndFormattedRowsCrossingFormattedColumns) {
    sheet.columns("A:B").font().setSize(12);
    sheet.rows("1:1").font().setBold(true);
    sheet.range("D3").setValue("x");
    sheet.range("C5").interior().setColorIndex(6);
    EXPECT_EQ(sheet.usedCells(),
              (std::vector<std::pair<int, int>>{{1, 1}, {1, 2}, {3, 4}, {5, 3}}));
    EXPECT_EQ(sheet.usedRowCount(), 5);
    EXPECT_EQ(sheet.usedColumnCount(), 4);
}

TEST_F(SheetTest, RefusedRequestsRaise1004AndChangeNothing) {
    const std::function<void()> refused[] = {
        [&] { sheet.range("A1").font().setSize(0); },
        [&] { sheet.range("A1").font().setSize(410); },
        [&] { sheet.range("A1").interior().setColorIndex(57); },
        [&] { sheet.range("A1").interior().setPattern(99); },
        [&] { sheet.range("A1").borders(BorderIndex::EdgeTop).setLineStyle(3); },
        [&] { sheet.range("A1").borders(BorderIndex::EdgeTop).setWeight(3); },
        [&] { sheet.range("A1").borders(static_cast<BorderIndex>(4)).setLineStyle(kXlContinuous); },
        [&] { sheet.range("A1").setHorizontalAlignment(kXlTop); },
        [&] { sheet.range("A1").setVerticalAlignment(kXlLeft); },
        [&] { sheet.range("A1").setOrientation(91); },
        [&] { sheet.range("A1").setIndentLevel(16); },
        [&] { sheet.range("A1").setRowHeight(410); },
        [&] { sheet.range("A1").setColumnWidth(256); },
        [&] { sheet.range("A1").setNumberFormat(""); },
        [&] { sheet.range("A1:B2").setHidden(true); },
        [&] { sheet.range("A1").setValue(QString(32768, u'x')); },
        [&] { sheet.rows("A1"); },
        [&] { sheet.columns("1:1"); },
        [&] { sheet.cells(0, 1); },
        [&] {
            Range(sheet, Area{2, 1, 1, 1});
        },
        [&] {
            Range(sheet, Area{1, 1, 1, kMaxColumns + 1});
        },
        [&] { sheet.addHorizontalPageBreak(sheet.cells(1, 1)); },
        [&] { app->setSheetsInNewWorkbook(0); },
    };
    for (const auto& request : refused) expectError(kErrRequestRefused, request);
    EXPECT_EQ(sheet.format(1, 1), CellFormat{});
    EXPECT_TRUE(sheet.usedCells().empty());
}

TEST_F(SheetTest, InjectedFailureHitsTheCountedRequest) {
    app->injectFailure(3, 70, "Permission denied");
    sheet.range("A1").setValue("one");            // 1
    sheet.range("A1").font().setBold(true);       // 2
    sheet.range("A2");                            // addresses are not requests
    expectError(70, [&] { sheet.pageSetup(); });  // 3
    sheet.pageSetup().zoom = 82;                  // the hook fired once
    EXPECT_EQ(sheet.pageSetup().zoom, 82);
}

TEST_F(SheetTest, ClosedWorkbooksAndAQuitApplicationRefuseRequests) {
    app->setSheetsInNewWorkbook(1);
    Workbook& second = app->addWorkbook();
    EXPECT_EQ(second.worksheetCount(), 1);
    EXPECT_EQ(book.worksheetCount(), 3);
    expectError(9, [&] { second.worksheet(2); });
    second.close(false);
    second.close(false);
    EXPECT_FALSE(second.isOpen());
    expectError(91, [&] { app->selection(); });
    sheet.range("A1").setValue("still open");
    app->quit();
    EXPECT_TRUE(app->hasQuit());
    expectError(462, [&] { sheet.range("A1"); });
    expectError(462, [&] { app->addWorkbook(); });
    EXPECT_EQ(app->inchesToPoints(0.75), 54);
}

}  // namespace
}  // namespace ksx4::xls
