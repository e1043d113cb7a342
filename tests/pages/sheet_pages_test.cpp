// The printed pages of small sheets: how the print area is cut into pages
// (manual breaks, the page height at the zoom, columns too wide for one
// page, hidden rows), the paper, the header and footer codes, and what a
// drawn page shows where.
#include "pages/sheet_pages.h"
#include "pages/header_footer.h"
#include "pages/page_output.h"
#include "platform/pooled_threads.h"
#include "platform/xls/sheet_model.h"
#include "platform/xls/spreadsheet.h"
#include "scripted_operator.h"

#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

namespace ksx4::pages {
namespace {

class PagesTest : public ::testing::Test {
  protected:
    test::VirtualClock clock;
    test::ScriptedOperator ui{clock};
    std::unique_ptr<xls::Application> app = xls::Application::create(ui);
    xls::Worksheet& sheet = app->addWorkbook().worksheet(1);

    // Rows 1..rows, each with its row number in column A.
    void numberRows(int rows) {
        for (int r = 1; r <= rows; ++r) sheet.cells(r, 1).setValue(QString::number(r));
    }
    std::vector<PageCells> pagesOf() const {
        const SheetPages pages(sheet.model(), QStringLiteral("Book.xls"));
        std::vector<PageCells> cells;
        for (int i = 0; i < pages.pageCount(); ++i) cells.push_back(pages.cells(i));
        return cells;
    }
};

TEST_F(PagesTest, PrintAreaIsCutByManualBreaksAndThePageHeightAtTheZoom) {
    // 1 inch margins leave 648 points down a letter page: 50 rows of 12.75
    // points at 100 %, 101 at 50 %.
    struct Case {
        const char* what;
        int rows;
        int zoom;
        std::vector<int> breaks;
        QString printArea;
        std::vector<PageCells> pages;
    };
    const Case cases[] = {
        {"one page", 10, 100, {}, {}, {{1, 10, 1, 1}}},
        {"page height", 120, 100, {}, {}, {{1, 50, 1, 1}, {51, 100, 1, 1}, {101, 120, 1, 1}}},
        {"zoom", 120, 50, {}, {}, {{1, 101, 1, 1}, {102, 120, 1, 1}}},
        {"manual breaks", 30, 100, {5, 12}, {}, {{1, 4, 1, 1}, {5, 11, 1, 1}, {12, 30, 1, 1}}},
        {"break and height", 80, 100, {20}, {}, {{1, 19, 1, 1}, {20, 69, 1, 1}, {70, 80, 1, 1}}},
        {"print area", 30, 100, {5, 20}, "$A$3:$B$12", {{3, 4, 1, 2}, {5, 12, 1, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        app = xls::Application::create(ui);
        xls::Worksheet& s = app->addWorkbook().worksheet(1);
        for (int r = 1; r <= c.rows; ++r) s.cells(r, 1).setValue(QString::number(r));
        s.pageSetup().zoom = c.zoom;
        s.pageSetup().printArea = c.printArea;
        for (const int row : c.breaks) s.addHorizontalPageBreak(s.cells(row, 1));
        const SheetPages pages(s.model(), QStringLiteral("Book.xls"));
        std::vector<PageCells> got;
        for (int i = 0; i < pages.pageCount(); ++i) got.push_back(pages.cells(i));
        EXPECT_EQ(got, c.pages);
    }
}

TEST_F(PagesTest, HiddenRowsTakeNoRoomAndShowNothing) {
    numberRows(60);
    sheet.rows(QStringLiteral("3:12")).setHidden(true);
    const SheetPages pages(sheet.model(), QStringLiteral("Book.xls"));
    ASSERT_EQ(pages.pageCount(), 1);  // 50 rows of room, ten of the sixty hidden
    const std::vector<QString> texts = pages.pageTexts(0);
    ASSERT_EQ(texts.size(), 50u);
    EXPECT_EQ(texts[1], "2");
    EXPECT_EQ(texts[2], "13");
}

TEST_F(PagesTest, RowHeightsAndColumnsTooWideForAPageFollowThePageOrder) {
    // Tall rows: 20 points, 32 to the page. Three columns of 337 points
    // each: one to the page, printed down then over unless told otherwise.
    numberRows(40);
    sheet.rows(QStringLiteral("1:40")).setRowHeight(20);
    sheet.columns(QStringLiteral("A:C")).setColumnWidth(60);
    sheet.cells(1, 3).setValue(QStringLiteral("C1"));
    EXPECT_EQ(pagesOf(), (std::vector<PageCells>{{1, 32, 1, 1},
                                                 {33, 40, 1, 1},
                                                 {1, 32, 2, 2},
                                                 {33, 40, 2, 2},
                                                 {1, 32, 3, 3},
                                                 {33, 40, 3, 3}}));
    sheet.pageSetup().order = 2;  // over, then down
    EXPECT_EQ(pagesOf(), (std::vector<PageCells>{{1, 32, 1, 1},
                                                 {1, 32, 2, 2},
                                                 {1, 32, 3, 3},
                                                 {33, 40, 1, 1},
                                                 {33, 40, 2, 2},
                                                 {33, 40, 3, 3}}));
}

TEST_F(PagesTest, PaperSizeAndOrientation) {
    const struct {
        int paper, orientation;
        QSizeF points;
    } cases[] = {
        {xls::kXlPaperLetter, xls::kXlPortrait, {612, 792}},
        {xls::kXlPaperLetter, 2, {792, 612}},
        {5, xls::kXlPortrait, {612, 1008}},  // legal
    };
    for (const auto& c : cases) {
        sheet.pageSetup().paperSize = c.paper;
        sheet.pageSetup().orientation = c.orientation;
        const SheetPages pages(sheet.model(), {});
        EXPECT_EQ(pages.pageSizePoints(), c.points) << c.paper << " " << c.orientation;
        EXPECT_EQ(pages.pageLayout().fullRectPoints().size(), c.points.toSize());
    }
}

TEST(HeaderFooterTest, CodesBecomeStyledLines) {
    const PageFields fields{3, 7, QStringLiteral("Tank 2025.xls"), QStringLiteral("Sheet1")};
    struct Run {
        QString text;
        double points;
        bool bold, underline;
    };
    const struct {
        QString codes;
        std::vector<std::vector<Run>> lines;
    } cases[] = {
        {"&18&UTitle", {{{"Title", 18, false, true}}}},
        {"Page &P of &N", {{{"Page 3 of 7", 10, false, false}}}},
        {"\n&F", {{}, {{"Tank 2025.xls", 10, false, false}}}},
        {"A && B on &A", {{{"A & B on Sheet1", 10, false, false}}}},
        {"&BBold&B plain", {{{"Bold", 10, true, false}, {" plain", 10, false, false}}}},
        {"&\"Arial,Bold\"x&Dy&", {{{"xy", 10, true, false}}}},
    };
    for (const auto& c : cases) {
        const std::vector<TextLine> lines = parseSection(c.codes, fields);
        ASSERT_EQ(lines.size(), c.lines.size()) << c.codes.toStdString();
        for (std::size_t l = 0; l < lines.size(); ++l) {
            ASSERT_EQ(lines[l].size(), c.lines[l].size()) << c.codes.toStdString();
            for (std::size_t r = 0; r < lines[l].size(); ++r) {
                const TextRun& got = lines[l][r];
                const Run& want = c.lines[l][r];
                EXPECT_EQ(got.text, want.text);
                EXPECT_EQ(got.points, want.points);
                EXPECT_EQ(got.bold, want.bold);
                EXPECT_EQ(got.underline, want.underline);
            }
        }
    }
}

// At 72 dots per inch a pixel is a point: fills, borders, the header and
// the footer land where the page setup puts them.
TEST_F(PagesTest, DrawnPageShowsFillsBordersHeaderAndFooter) {
    sheet.pageSetup().centerHeader = QStringLiteral("&18Title");
    sheet.pageSetup().leftFooter = QStringLiteral("Footer");
    sheet.range(QStringLiteral("B2")).interior().setColorIndex(3);  // red
    sheet.range(QStringLiteral("A4:A4")).borders(xls::BorderIndex::EdgeTop).setLineStyle(1);
    sheet.cells(6, 1).setValue(QStringLiteral("text"));
    const SheetPages pages(sheet.model(), {});
    const QImage page = pageImage(pages, 0, 72);
    ASSERT_EQ(page.size(), QSize(612, 792));

    // Default columns are 50.8 points wide (8.43 digits of 5.56 points and
    // the padding), rows 12.75 high, from the 54/72 point margins.
    const auto at = [&](double x, double y) {
        return page.pixelColor(static_cast<int>(54 + x), static_cast<int>(72 + y));
    };
    EXPECT_EQ(at(50.8 * 1.5, 12.75 * 1.5), QColor(Qt::red));
    EXPECT_EQ(at(50.8 * 0.5, 12.75 * 0.5), QColor(Qt::white));
    EXPECT_LT(at(30, 12.75 * 3).lightness(), 160);  // the top border of A4
    const auto inkIn = [&](QRect area) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (page.pixelColor(x, y).lightness() < 128) return true;
        return false;
    };
    EXPECT_TRUE(inkIn(QRect(54, 12.75 * 5 + 72, 40, 13)));  // "text" in A6
    EXPECT_TRUE(inkIn(QRect(200, 21, 212, 30)));            // the header below its margin
    EXPECT_TRUE(inkIn(QRect(54, 750, 60, 21)));             // the footer above its margin
    EXPECT_FALSE(inkIn(QRect(54, 300, 500, 400)));          // nothing else
}

}  // namespace
}  // namespace ksx4::pages

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ksx4::joinPooledThreadsWhenTheApplicationEnds();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
