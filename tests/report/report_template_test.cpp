#include "report/report_template.h"

#include "core/version.h"
#include "sheet_fixture.h"

#include <set>
#include <vector>

namespace ksx4::test {
namespace {

using xls::Border;
using xls::kXlAutomatic;
using xls::kXlContinuous;
using xls::kXlThin;

struct Block {
    int first, last;
};

struct TemplateCase {
    bool profibusPa;
    uint16_t devices;
    std::vector<int> headingRows;  // device heading rows
    std::vector<Block> blocks;
    std::vector<int> pageBreaks;
    int summaryRow, collectedRow, approvedRow, versionRow;  // print area ends at approvedRow
};

void PrintTo(const TemplateCase& c, std::ostream* os) {
    *os << (c.profibusPa ? "PA" : "FF") << " n=" << c.devices;
}

const TemplateCase kTemplateCases[] = {
    {false, 0, {}, {}, {}, 28, 33, 37, 38},
    {false, 1, {28}, {{29, 32}}, {}, 35, 39, 43, 44},
    {false, 4, {28}, {{29, 47}}, {51}, 50, 56, 60, 61},
    {false, 5, {28}, {{29, 52}}, {56}, 55, 61, 65, 66},
    {false, 6, {28, 53}, {{29, 52}, {54, 57}}, {53}, 60, 66, 70, 71},
    {false, 15, {28, 53}, {{29, 52}, {54, 102}}, {53, 106}, 105, 111, 115, 116},
    {false, 16, {28, 53, 103}, {{29, 52}, {54, 102}, {104, 107}}, {53, 103}, 110, 116, 120, 121},
    {false,
     32,
     {28, 53, 103, 153},
     {{29, 52}, {54, 102}, {104, 152}, {154, 187}},
     {53, 103, 153},
     190,
     196,
     200,
     201},
    {true, 0, {}, {}, {}, 20, 26, 30, 31},
    {true, 5, {20}, {{21, 49}}, {53}, 52, 58, 62, 63},
    {true, 12, {20, 50}, {{21, 49}, {51, 91}}, {50, 95}, 94, 100, 104, 105},
    {true, 13, {20, 50}, {{21, 49}, {51, 97}}, {50, 101}, 100, 106, 110, 111},
    {true,
     30,
     {20, 50, 98, 146, 194},
     {{21, 49}, {51, 97}, {99, 145}, {147, 193}, {195, 199}},
     {50, 98, 146, 194},
     202,
     208,
     212,
     213},
};

class TemplateRowsTest : public ReportSheetTest,
                         public ::testing::WithParamInterface<TemplateCase> {};

const Border kThin{kXlContinuous, kXlThin, kXlAutomatic};

TEST_P(TemplateRowsTest, PlacesGridsBreaksSummaryAndSignatures) {
    const TemplateCase& c = GetParam();
    state.testerType = c.profibusPa ? kKsx4Pa : kKsx4;
    ASSERT_TRUE(makeTemplate(state, session, c.devices, QStringLiteral("North")));
    EXPECT_TRUE(ui.messages.empty());

    const int segmentHeading = c.profibusPa ? 4 : 6;
    std::set<int> expectedBold{1, segmentHeading, c.summaryRow};
    expectedBold.insert(c.headingRows.begin(), c.headingRows.end());
    std::set<int> boldRows;
    for (int row = 1; row <= c.versionRow + 1; ++row) {
        if (sheet().format(row, 2).bold) boldRows.insert(row);
    }
    EXPECT_EQ(boldRows, expectedBold);

    std::vector<int> headingRows;
    for (int row = 1; row <= c.versionRow; ++row) {
        if (sheet().text(row, 1) == "Device Measurements") {
            headingRows.push_back(row);
            EXPECT_EQ(sheet().rowHeight(row), 21.0) << row;
            EXPECT_EQ(sheet().text(row, 2), "Data");
            EXPECT_EQ(sheet().text(row, 3), "Acceptable Values");
            EXPECT_EQ(sheet().text(row, 4), "OK/BAD");
        }
    }
    EXPECT_EQ(headingRows, c.headingRows);

    // Every block is ruled all round and inside; the rows between blocks are not.
    for (const Block& b : c.blocks) {
        for (const int row : {b.first, b.last}) {
            for (int column = 1; column <= 4; ++column) {
                const xls::CellFormat f = sheet().format(row, column);
                EXPECT_EQ(f.left, kThin) << row << "/" << column;
                EXPECT_EQ(f.right, kThin) << row << "/" << column;
                EXPECT_EQ(row == b.first ? f.top : f.bottom, kThin) << row << "/" << column;
            }
        }
    }
    const int lastGridRow = c.blocks.empty() ? (c.profibusPa ? 17 : 25) : c.blocks.back().last;
    for (int row = lastGridRow + 2; row <= c.versionRow; ++row) {
        EXPECT_EQ(sheet().format(row, 1).left.lineStyle, xls::kXlNone) << row;
    }

    EXPECT_EQ(sheet().horizontalPageBreaks(), c.pageBreaks);
    const QString collectedBy = "Data collected by _______________________________________________";
    const QString approvedBy = "Report approved by _______________________________________________";
    EXPECT_EQ(sheet().text(c.collectedRow, 4), collectedBy);
    EXPECT_EQ(sheet().text(c.approvedRow, 4), approvedBy);
    EXPECT_EQ(sheet().format(c.collectedRow, 4).fontSize, 10);
    EXPECT_EQ(sheet().format(c.approvedRow, 4).fontSize, 10);
    EXPECT_EQ(sheet().pageSetup().printArea, "$A$1:$D$" + QString::number(c.approvedRow));

    EXPECT_EQ(sheet().text(c.versionRow, 1), "KSX-4 Assistant Version");
    EXPECT_EQ(sheet().text(c.versionRow, 2), programVersionText());
    for (int row = 1; row <= c.versionRow + 1; ++row) {
        EXPECT_EQ(sheet().rowHidden(row), row == c.versionRow) << row;
    }
}

INSTANTIATE_TEST_SUITE_P(ByLayoutAndDeviceCount, TemplateRowsTest,
                         ::testing::ValuesIn(kTemplateCases));

TEST_F(ReportSheetTest, PageSetupColumnsAndSegmentGrid) {
    for (const bool profibusPa : {false, true}) {
        SCOPED_TRACE(profibusPa);
        session.reportSheet = &session.excelApp->addWorkbook().worksheet(1);
        state.testerType = profibusPa ? kKsx4Pa : kKsx4;
        ASSERT_TRUE(makeTemplate(state, session, 0, QStringLiteral("Tank & Pump")));

        const xls::PageSetup& page = sheet().pageSetup();
        EXPECT_EQ(page.centerHeader, profibusPa ? "&18&UProfibus PA Segment Diagnostic Report"
                                                : "&18&UFieldbus Segment Diagnostic Report");
        EXPECT_EQ(page.leftFooter, "Tank && Pump");  // a lone & would start a footer code
        EXPECT_EQ(page.centerFooter, "Page &P of &N");
        EXPECT_EQ(page.rightFooter, "\n&F");
        EXPECT_DOUBLE_EQ(page.leftMargin, 54);
        EXPECT_DOUBLE_EQ(page.bottomMargin, 54);
        EXPECT_DOUBLE_EQ(page.headerMargin, 0.26 * 72);
        EXPECT_DOUBLE_EQ(page.footerMargin, 0.26 * 72);
        EXPECT_FALSE(page.printGridlines);
        EXPECT_FALSE(page.printHeadings);
        EXPECT_EQ(page.zoom, 82);
        EXPECT_EQ(page.paperSize, xls::kXlPaperLetter);
        EXPECT_EQ(page.orientation, xls::kXlPortrait);

        EXPECT_EQ(sheet().columnWidth(1), 45.33);
        EXPECT_EQ(sheet().columnWidth(2), 28.11);
        EXPECT_EQ(sheet().columnWidth(3), 22.56);
        EXPECT_EQ(sheet().columnWidth(4), 9.22);
        for (int column = 1; column <= 4; ++column) {
            const xls::CellFormat f = sheet().format(200, column);
            EXPECT_EQ(f.horizontalAlignment, column == 4 ? xls::kXlRight : xls::kXlLeft);
            EXPECT_EQ(f.verticalAlignment, xls::kXlTop);
            EXPECT_EQ(f.numberFormat, "@");
            EXPECT_EQ(f.fontSize, 12);
        }

        const int heading = profibusPa ? 4 : 6;
        const int last = profibusPa ? 17 : 25;
        EXPECT_EQ(sheet().text(heading, 1), "Segment Measurements");
        EXPECT_EQ(sheet().text(heading, 3), "Acceptable Values");
        EXPECT_EQ(sheet().rowHeight(heading), 21.0);
        // Ruled outside and inside, no diagonals.
        const xls::CellFormat inside = sheet().format(heading + 3, 2);
        EXPECT_EQ(inside.left, kThin);
        EXPECT_EQ(inside.top, kThin);
        EXPECT_EQ(inside.bottom, kThin);
        EXPECT_EQ(inside.right, kThin);
        EXPECT_EQ(inside.diagonalDown.lineStyle, xls::kXlNone);
        EXPECT_EQ(sheet().format(last, 4).bottom, kThin);
        EXPECT_EQ(sheet().format(heading, 1).left.lineStyle, xls::kXlNone);
    }
}

TEST_F(ReportSheetTest, MoreThan32DevicesStopAfterTheColumnWidths) {
    EXPECT_FALSE(makeTemplate(state, session, 33, QStringLiteral("North")));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Failed to make report template; more than 32 devices.");
    EXPECT_EQ(ui.messages[0].icon, Icon::Critical);
    EXPECT_EQ(sheet().columnWidth(4), 9.22);
    EXPECT_EQ(sheet().text(28, 1), "");
    EXPECT_TRUE(sheet().horizontalPageBreaks().empty());
    EXPECT_EQ(sheet().pageSetup().printArea, "");
}

TEST_F(ReportSheetTest, SpreadsheetFailuresAreShownAndStopTheTemplate) {
    struct Case {
        int countdown, number;
        QString expected;
        Icon icon;
    } cases[] = {
        {1, 1004,
         "Do not open Excel while transferring reports. \r\nPlease retry transfer. Refused",
         Icon::None},
        {40, 1004,
         "Do not open Excel while transferring reports. \r\nPlease retry transfer. Refused",
         Icon::None},
        {60, 7, "makeTemplate error: Refused Err.Number 7", Icon::Critical},
    };
    for (const Case& c : cases) {
        ui.messages.clear();
        session.reportSheet = &session.excelApp->addWorkbook().worksheet(1);
        session.excelApp->injectFailure(c.countdown, c.number, QStringLiteral("Refused"));
        EXPECT_FALSE(makeTemplate(state, session, 3, QStringLiteral("North"))) << c.countdown;
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, c.expected);
        EXPECT_EQ(ui.messages[0].icon, c.icon);
        EXPECT_EQ(ui.messages[0].buttons, Buttons::Ok);
        EXPECT_NE(sheet().text(44, 1), "KSX-4 Assistant Version");
    }
}

}  // namespace
}  // namespace ksx4::test
