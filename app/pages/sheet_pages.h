#pragma once
// A worksheet's printed pages, drawn with QPainter the way the workbook
// prints: the print area cut into pages by the manual page breaks and the
// page height, each page with the page setup's margins, zoom, header and
// footer. The same drawing serves the screen, printers and PDF files.
#include <QPageLayout>
#include <QSizeF>
#include <QString>

#include <vector>

class QPainter;

namespace ksx4::xls {
class SheetModel;
}

namespace ksx4::pages {

// The cells one page shows: whole rows and columns, 1-based, inclusive.
struct PageCells {
    int firstRow = 1, lastRow = 1;
    int firstColumn = 1, lastColumn = 1;
    friend bool operator==(const PageCells&, const PageCells&) = default;
};

class SheetPages {
  public:
    // The model must outlive this object and stay unchanged while it is
    // used. fileName is what the &F code shows ("Tank 2025-08-04 05-26.xls"),
    // sheetName what &A shows.
    SheetPages(const xls::SheetModel& sheet, QString fileName,
               QString sheetName = QStringLiteral("Sheet1"));

    int pageCount() const { return static_cast<int>(pages_.size()); }
    const PageCells& cells(int page) const { return pages_[static_cast<std::size_t>(page)]; }
    QSizeF pageSizePoints() const { return pageSize_; }
    // The paper (size, orientation, no margins) for a printer or a PDF.
    QPageLayout pageLayout() const;

    // Draws page (0-based) with the painter's coordinates in points, the
    // page's top left corner at the origin.
    void drawPage(QPainter& painter, int page) const;

    // The texts of the cells a page shows, row by row, left to right (what
    // a reader of the printed page finds there).
    std::vector<QString> pageTexts(int page) const;

  private:
    double rowHeight(int row) const;  // points; 0 for hidden rows
    double columnWidth(int column) const;
    void drawHeaderAndFooter(QPainter& painter, int page) const;
    void drawCells(QPainter& painter, const PageCells& cells) const;

    const xls::SheetModel& sheet_;
    QString fileName_, sheetName_;
    QSizeF pageSize_;
    std::vector<int> rowTwips_;         // rows 1..rowCount, 0 when hidden
    std::vector<double> columnPoints_;  // columns 1..256, 0 when hidden
    std::vector<PageCells> pages_;
};

}  // namespace ksx4::pages
