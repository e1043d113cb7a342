#include "pages/sheet_pages.h"

#include "pages/header_footer.h"
#include "pages/palette.h"
#include "platform/xls/sheet_model.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ksx4::pages {
namespace {

using xls::BorderField;
using xls::BorderSide;
using xls::FormatValues;
using xls::Property;

// Points between a cell's edge and its text, at the sides, and above or
// below text set to the top or bottom, as the workbook's pages print.
constexpr double kCellPadding = 2.0;
constexpr double kBorderWidth = 0.75;  // a thin border, in sheet points
constexpr double kDefaultPoints = 10;  // the workbook's default font
constexpr int kPaperLetter = 1, kPaperLegal = 5, kPaperA4 = 9;
constexpr int kLandscape = 2;
const QString kFontFamily = QStringLiteral("Arial");

QSizeF paperPoints(int paperSize, int orientation) {
    QSizeF size(612, 792);
    if (paperSize == kPaperLegal) size = QSizeF(612, 1008);
    if (paperSize == kPaperA4) size = QPageSize(QPageSize::A4).size(QPageSize::Point);
    return orientation == kLandscape ? size.transposed() : size;
}

int value(const FormatValues& v, Property p) {
    return v[xls::propertyIndex(p)];
}
int border(const FormatValues& v, BorderSide side, BorderField field) {
    return v[xls::borderPropertyIndex(side, field)];
}

// Fonts are given in points of the painter's coordinates, whatever the
// device's resolution: the painter's transform does the scaling.
// Pairs are not kerned: the sheet's printing sets every glyph at its own
// advance ("PA" in a title would come out 1 point narrower).
QFont pageFont(const QPainter& painter, double points, bool bold, bool italic = false) {
    QFont font(kFontFamily);
    font.setStyleHint(QFont::SansSerif);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setPointSizeF(points * 72.0 / painter.device()->logicalDpiY());
    font.setBold(bold);
    font.setItalic(italic);
    font.setKerning(false);
    return font;
}

// Measured on the painter's device, whose resolution the font sizes allow for.
QFontMetricsF metrics(const QPainter& painter, const QFont& font) {
    return QFontMetricsF(font, painter.device());
}

// A stored width (1/256 of the default font's digit) on paper: the digit
// measured in whole twips, the width taken in whole twips, rounded down
// after half a twip is taken off. Scaling the digit's exact width instead
// makes every column 0.2 % wider than the sheet prints.
double columnPoints(int units) {
    const double digitTwips = std::round(xls::kDigitWidthPoints * 20);
    return std::max(0.0, std::floor(units * digitTwips / 256 - 0.5)) / 20;
}

// A run of consecutive items whose sizes fill at most `room`, forced to
// end before any item in breaks; every run holds at least one item.
std::vector<std::pair<int, int>> cutIntoBands(int first, int last, double room,
                                              const std::vector<double>& sizes,
                                              const std::vector<int>& breaks) {
    std::vector<std::pair<int, int>> bands;
    int start = first;
    double used = 0;
    for (int i = first; i <= last; ++i) {
        const double size = sizes[static_cast<std::size_t>(i - first)];
        const bool manual = i > start && std::binary_search(breaks.begin(), breaks.end(), i);
        if (manual || (used > 0 && used + size > room)) {
            bands.emplace_back(start, i - 1);
            start = i;
            used = 0;
        }
        used += size;
    }
    bands.emplace_back(start, last);
    return bands;
}

struct SectionBox {
    std::vector<TextLine> lines;
    double height = 0;
};

double lineHeight(const QPainter& painter, const TextLine& line) {
    double height = metrics(painter, pageFont(painter, kDefaultPoints, false)).height();
    for (const TextRun& run : line)
        height =
            std::max(height, metrics(painter, pageFont(painter, run.points, run.bold)).height());
    return height;
}

double lineWidth(const QPainter& painter, const TextLine& line) {
    double width = 0;
    for (const TextRun& run : line)
        width += metrics(painter, pageFont(painter, run.points, run.bold, run.italic))
                     .horizontalAdvance(run.text);
    return width;
}

// In the painter's coordinates, which the zoom scales as it scales the sheet.
SectionBox layOutSection(const QPainter& painter, const QString& codes, const PageFields& fields) {
    SectionBox box;
    if (codes.isEmpty()) return box;
    box.lines = parseSection(codes, fields, kDefaultPoints);
    for (const TextLine& line : box.lines) box.height += lineHeight(painter, line);
    return box;
}

// Where a cell's text line starts (its baseline) in the box its padding
// leaves: text set to the top hangs below the padding, bottom text (the
// workbook's default) stands on it, centred text is centred by its ascent
// and descent.
QPointF textOrigin(const QFontMetricsF& m, const QRectF& box, double textWidth, int horizontal,
                   int vertical) {
    const double x = horizontal == xls::kXlRight    ? box.right() - textWidth
                     : horizontal == xls::kXlCenter ? box.center().x() - textWidth / 2
                                                    : box.left();
    const double y = vertical == xls::kXlTop ? box.top() + kCellPadding + m.ascent()
                     : vertical == xls::kXlCenter
                         ? box.center().y() + (m.ascent() - m.descent()) / 2
                         : box.bottom() - kCellPadding - m.descent();
    return {x, y};
}

enum class Anchor { Left, Center, Right };

// Draws a section's lines from top down, each placed on its anchor x.
void drawSection(QPainter& painter, const SectionBox& box, double top, double x, Anchor anchor) {
    double y = top;
    for (const TextLine& line : box.lines) {
        const double height = lineHeight(painter, line);
        const double width = lineWidth(painter, line);
        double runX = anchor == Anchor::Left     ? x
                      : anchor == Anchor::Center ? x - width / 2
                                                 : x - width;
        double ascent = 0;
        for (const TextRun& run : line)
            ascent = std::max(ascent,
                              metrics(painter, pageFont(painter, run.points, run.bold)).ascent());
        for (const TextRun& run : line) {
            const QFont font = pageFont(painter, run.points, run.bold, run.italic);
            const QFontMetricsF m = metrics(painter, font);
            const double advance = m.horizontalAdvance(run.text);
            painter.setFont(font);
            painter.drawText(QPointF(runX, y + ascent), run.text);
            if (run.underline) {
                // As the sheet's printing underlines: a quarter of the font's
                // descent thick, its middle 0.38 descents below the baseline
                // (the font's own underline is a third thicker).
                const double thickness = m.descent() / 4;
                painter.fillRect(QRectF(runX, y + ascent + 0.38 * m.descent() - thickness / 2,
                                        advance, thickness),
                                 painter.pen().color());
            }
            runX += advance;
        }
        y += height;
    }
}

}  // namespace

SheetPages::SheetPages(const xls::SheetModel& sheet, QString fileName, QString sheetName)
    : sheet_(sheet), fileName_(std::move(fileName)), sheetName_(std::move(sheetName)) {
    const xls::PageSetup& setup = sheet.pageSetup();
    pageSize_ = paperPoints(setup.paperSize, setup.orientation);

    rowTwips_ = sheet.rowHeightsTwips();
    for (std::size_t i = 0; i < rowTwips_.size(); ++i) {
        const xls::RowData& row = *sheet.row(static_cast<int>(i) + 1);
        if (row.hidden || row.heightTwips == 0) rowTwips_[i] = 0;
    }
    columnPoints_.resize(xls::kMaxColumns);
    for (int c = 1; c <= xls::kMaxColumns; ++c) {
        const xls::ColumnData& column = sheet.column(c);
        const int units =
            column.width < 0 ? xls::kDefaultColumnWidth : xls::columnWidthUnits(column.width);
        const bool hidden = column.hidden || column.width == 0;
        columnPoints_[static_cast<std::size_t>(c - 1)] = hidden ? 0 : columnPoints(units);
    }

    // The print area, or every used cell.
    xls::Area area{1, 1, std::max(1, sheet.rowCount()), 1};
    bool areaGiven = false;
    if (!setup.printArea.isEmpty()) {
        try {
            area = xls::parseAddress(setup.printArea);
            areaGiven = true;
        } catch (const xls::SpreadsheetError&) {
            // The writer refuses such a sheet; print the used cells instead.
        }
    }
    if (!areaGiven)
        sheet.forEachUsedCell([&](int, int c) { area.lastColumn = std::max(area.lastColumn, c); });
    area.lastRow = std::min(area.lastRow, std::max(sheet.rowCount(), area.firstRow));

    const double zoom = std::clamp(setup.zoom, 10, 400) / 100.0;
    const double roomDown = (pageSize_.height() - setup.topMargin - setup.bottomMargin) / zoom;
    const double roomAcross = (pageSize_.width() - setup.leftMargin - setup.rightMargin) / zoom;
    std::vector<double> heights, widths;
    for (int r = area.firstRow; r <= area.lastRow; ++r) heights.push_back(rowHeight(r));
    for (int c = area.firstColumn; c <= area.lastColumn; ++c) widths.push_back(columnWidth(c));
    const auto rowBands =
        cutIntoBands(area.firstRow, area.lastRow, roomDown, heights, sheet.pageBreaks());
    const auto columnBands =
        cutIntoBands(area.firstColumn, area.lastColumn, roomAcross, widths, {});

    const bool downThenOver = setup.order == xls::kXlDownThenOver;
    const auto& outer = downThenOver ? columnBands : rowBands;
    const auto& inner = downThenOver ? rowBands : columnBands;
    for (const auto& o : outer) {
        for (const auto& i : inner) {
            const auto& rows = downThenOver ? i : o;
            const auto& columns = downThenOver ? o : i;
            pages_.push_back({rows.first, rows.second, columns.first, columns.second});
        }
    }
}

double SheetPages::rowHeight(int row) const {
    if (row > static_cast<int>(rowTwips_.size())) return xls::kDefaultRowTwips / 20.0;
    return rowTwips_[static_cast<std::size_t>(row - 1)] / 20.0;
}

double SheetPages::columnWidth(int column) const {
    return columnPoints_[static_cast<std::size_t>(column - 1)];
}

QPageLayout SheetPages::pageLayout() const {
    const bool landscape = pageSize_.width() > pageSize_.height();
    const QSizeF portrait = landscape ? pageSize_.transposed() : pageSize_;
    return QPageLayout(QPageSize(portrait, QPageSize::Point, QString(), QPageSize::FuzzyMatch),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF());
}

std::vector<QString> SheetPages::pageTexts(int page) const {
    const PageCells& c = cells(page);
    std::vector<QString> texts;
    for (int r = c.firstRow; r <= c.lastRow; ++r) {
        if (rowHeight(r) <= 0) continue;
        for (int col = c.firstColumn; col <= c.lastColumn; ++col) {
            const QString& text = sheet_.text(r, col);
            if (!text.isEmpty() && columnWidth(col) > 0) texts.push_back(text);
        }
    }
    return texts;
}

void SheetPages::drawPage(QPainter& painter, int page) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawHeaderAndFooter(painter, page);

    const xls::PageSetup& setup = sheet_.pageSetup();
    const double zoom = std::clamp(setup.zoom, 10, 400) / 100.0;
    const PageCells& c = cells(page);
    double width = 0, height = 0;
    for (int col = c.firstColumn; col <= c.lastColumn; ++col) width += columnWidth(col);
    for (int r = c.firstRow; r <= c.lastRow; ++r) height += rowHeight(r);
    double left = setup.leftMargin, top = setup.topMargin;
    const double roomAcross = pageSize_.width() - setup.leftMargin - setup.rightMargin;
    const double roomDown = pageSize_.height() - setup.topMargin - setup.bottomMargin;
    if (setup.centerHorizontally) left += std::max(0.0, (roomAcross - width * zoom) / 2);
    if (setup.centerVertically) top += std::max(0.0, (roomDown - height * zoom) / 2);
    painter.translate(left, top);
    painter.scale(zoom, zoom);
    painter.setClipRect(
        QRectF(-kBorderWidth, -kBorderWidth, width + 2 * kBorderWidth, height + 2 * kBorderWidth));
    drawCells(painter, c);
    painter.restore();
}

void SheetPages::drawHeaderAndFooter(QPainter& painter, int page) const {
    const xls::PageSetup& setup = sheet_.pageSetup();
    const int firstNumber = setup.firstPageNumber == xls::kXlAutomatic ? 1 : setup.firstPageNumber;
    const PageFields fields{firstNumber + page, pageCount(), fileName_, sheetName_};
    // Header and footer texts scale with the sheet, as the zoom asks: drawn
    // through the painter's scale, their sizes stay fractional (18 points at
    // 82 % are 14.76) where the font engine would round a zoomed size to
    // whole points.
    const double zoom = std::clamp(setup.zoom, 10, 400) / 100.0;
    painter.save();
    painter.scale(zoom, zoom);
    const double left = setup.leftMargin / zoom;
    const double right = (pageSize_.width() - setup.rightMargin) / zoom;
    const double center = (left + right) / 2;
    painter.setPen(Qt::black);

    // Header sections hang from the header margin; the footer's sections
    // stand centred in a block whose bottom is at the footer margin.
    const SectionBox header = layOutSection(painter, setup.centerHeader, fields);
    drawSection(painter, header, setup.headerMargin / zoom, center, Anchor::Center);

    const SectionBox footers[] = {layOutSection(painter, setup.leftFooter, fields),
                                  layOutSection(painter, setup.centerFooter, fields),
                                  layOutSection(painter, setup.rightFooter, fields)};
    double blockHeight = 0;
    for (const SectionBox& box : footers) blockHeight = std::max(blockHeight, box.height);
    const double bottom = (pageSize_.height() - setup.footerMargin) / zoom;
    const auto topOf = [&](const SectionBox& box) {
        return bottom - blockHeight + (blockHeight - box.height) / 2;
    };
    drawSection(painter, footers[0], topOf(footers[0]), left, Anchor::Left);
    drawSection(painter, footers[1], topOf(footers[1]), center, Anchor::Center);
    drawSection(painter, footers[2], topOf(footers[2]), right, Anchor::Right);
    painter.restore();
}

void SheetPages::drawCells(QPainter& painter, const PageCells& c) const {
    std::vector<double> xs{0}, ys{0};
    for (int col = c.firstColumn; col <= c.lastColumn; ++col)
        xs.push_back(xs.back() + columnWidth(col));
    for (int r = c.firstRow; r <= c.lastRow; ++r) ys.push_back(ys.back() + rowHeight(r));
    const auto x = [&](int col) { return xs[static_cast<std::size_t>(col - c.firstColumn)]; };
    const auto y = [&](int r) { return ys[static_cast<std::size_t>(r - c.firstRow)]; };
    const auto empty = [&](int r, int col) { return sheet_.text(r, col).isEmpty(); };

    struct Line {
        QPointF from, to;
        int colour;
    };
    std::vector<Line> lines;
    for (int r = c.firstRow; r <= c.lastRow; ++r) {
        if (rowHeight(r) <= 0) continue;
        const double top = y(r), bottom = y(r + 1);
        for (int col = c.firstColumn; col <= c.lastColumn; ++col) {
            if (columnWidth(col) <= 0) continue;
            const FormatValues f = sheet_.resolve(r, col);
            const double left = x(col), right = x(col + 1);
            const int fill = value(f, Property::InteriorColorIndex);
            if (fill != xls::kXlNone && value(f, Property::InteriorPattern) != xls::kXlNone) {
                painter.fillRect(QRectF(left, top, right - left, bottom - top),
                                 paletteColour(fill, Qt::white));
            }
            const auto edge = [&](BorderSide side, QPointF from, QPointF to) {
                if (border(f, side, BorderField::LineStyle) == xls::kXlNone) return;
                lines.push_back({from, to, border(f, side, BorderField::ColorIndex)});
            };
            edge(BorderSide::Left, {left, top}, {left, bottom});
            edge(BorderSide::Right, {right, top}, {right, bottom});
            edge(BorderSide::Top, {left, top}, {right, top});
            edge(BorderSide::Bottom, {left, bottom}, {right, bottom});

            const QString& text = sheet_.text(r, col);
            if (text.isEmpty()) continue;
            const QFont font = pageFont(painter, value(f, Property::FontSize) / 20.0,
                                        value(f, Property::Bold) != 0);
            const double textWidth = metrics(painter, font).horizontalAdvance(text);
            const int horizontal = value(f, Property::HorizontalAlignment);
            const double indent = value(f, Property::IndentLevel) * 3 * xls::kDigitWidthPoints;
            // Text wider than its cell runs on over empty neighbours, the way
            // its alignment points.
            double spanLeft = left, spanRight = right;
            const double needed = textWidth + 2 * kCellPadding + indent;
            if (horizontal != xls::kXlRight) {
                for (int n = col + 1;
                     n <= c.lastColumn && spanRight - spanLeft < needed && empty(r, n); ++n)
                    spanRight = x(n + 1);
            }
            if (horizontal == xls::kXlRight || horizontal == xls::kXlCenter) {
                for (int n = col - 1;
                     n >= c.firstColumn && spanRight - spanLeft < needed && empty(r, n); --n)
                    spanLeft = x(n);
            }
            QRectF box(spanLeft + kCellPadding, top, spanRight - spanLeft - 2 * kCellPadding,
                       bottom - top);
            if (horizontal == xls::kXlRight) {
                box.setRight(box.right() - indent);
            } else if (horizontal != xls::kXlCenter) {
                box.setLeft(box.left() + indent);
            }
            const QPointF origin = textOrigin(metrics(painter, font), box, textWidth, horizontal,
                                              value(f, Property::VerticalAlignment));
            painter.setFont(font);
            painter.setPen(Qt::black);
            if (spanRight - spanLeft >= needed) {
                painter.drawText(origin, text);
                continue;
            }
            // Cut off where the neighbour's text begins, as a spreadsheet does.
            painter.save();
            painter.setClipRect(QRectF(spanLeft, top, spanRight - spanLeft, bottom - top),
                                Qt::IntersectClip);
            painter.drawText(origin, text);
            painter.restore();
        }
    }
    for (const Line& line : lines) {
        painter.setPen(QPen(paletteColour(line.colour, Qt::black), kBorderWidth, Qt::SolidLine,
                            Qt::SquareCap));
        painter.drawLine(line.from, line.to);
    }
}

}  // namespace ksx4::pages
