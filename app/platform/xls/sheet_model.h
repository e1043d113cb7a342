#pragma once
// The worksheet's storage: texts, and formats kept as stamped properties on
// columns, rows and cells. Every request gets a higher stamp, so a cell's
// format is, property by property, the latest request that covered it,
// whether it named the cell, its row or its column. The page setup and the
// sizes rows and columns print at live here too, for the writer and the
// printed pages alike.
#include "platform/xls/spreadsheet.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace ksx4::xls {

// Every format property, as one 32-bit value each. Font sizes are kept in
// twentieths of a point, number formats as an index into the sheet's table.
enum class Property : uint8_t {
    FontSize,
    Bold,
    HorizontalAlignment,
    VerticalAlignment,
    WrapText,
    Orientation,
    IndentLevel,
    ShrinkToFit,
    NumberFormat,
    InteriorColorIndex,
    InteriorPattern,
    BorderFirst,  // six edges (left, top, bottom, right, diagonal down, up) of three values
};
inline constexpr int kBorderSides = 6;
inline constexpr int kBorderFields = 3;  // line style, weight, colour index
inline constexpr int kPropertyCount =
    static_cast<int>(Property::BorderFirst) + kBorderSides * kBorderFields;

enum class BorderSide { Left, Top, Bottom, Right, DiagonalDown, DiagonalUp };
enum class BorderField { LineStyle, Weight, ColorIndex };

constexpr int propertyIndex(Property p) {
    return static_cast<int>(p);
}
constexpr int borderPropertyIndex(BorderSide side, BorderField field) {
    return propertyIndex(Property::BorderFirst) + static_cast<int>(side) * kBorderFields +
           static_cast<int>(field);
}

// A resolved format: one value per property. Compared and hashed as plain
// integers by the writer.
using FormatValues = std::array<int32_t, kPropertyCount>;
const FormatValues& defaultFormatValues();

struct Stamped {
    int32_t value = 0;
    uint32_t stamp = 0;  // 0: never set
};

struct PartialFormat {
    std::array<Stamped, kPropertyCount> properties{};
    bool any = false;
    void set(int property, int32_t value, uint32_t stamp) {
        properties[property] = {value, stamp};
        any = true;
    }
};

struct CellData {
    QString text;  // empty: no text
    PartialFormat format;
};

struct RowData {
    std::vector<CellData> cells;  // index column - 1; grown on demand
    std::unique_ptr<PartialFormat> format;
    int heightTwips = -1;  // -1: default height
    bool hidden = false;
};

// How the file measures sizes, and so how the sheet prints: a column's width
// in 1/256 of the default font's digit width, a row's height in twips.
inline constexpr int kDefaultRowTwips = 255;  // 12.75 points, for the default 10-point font
inline constexpr uint16_t kDefaultColumnWidth = 2340;  // 8.43 characters
// The default font's digit on paper: Arial's 0.556 em at 10 points.
inline constexpr double kDigitWidthPoints = 5.56;
// The stored width of a column of `characters` digits, counting a 7-pixel
// digit and 5 pixels of padding as the screen does.
uint16_t columnWidthUnits(double characters);
// The height a row gets for its largest font when none was set.
int naturalRowTwips(int fontTwips);

struct ColumnData {
    PartialFormat format;
    double width = -1;  // characters; -1: default width
    bool hidden = false;
};

class SheetModel {
  public:
    SheetModel();

    uint32_t nextStamp() { return ++stamp_; }

    // Applies one property to every cell of area; whole columns and whole
    // rows are kept on the columns and rows themselves.
    void apply(const Area& area, int property, int32_t value, uint32_t stamp);
    void setText(const Area& area, const QString& text);
    void setRowHeight(int firstRow, int lastRow, int twips);
    void setRowsHidden(int firstRow, int lastRow, bool hidden);
    void setColumnWidth(int firstColumn, int lastColumn, double width);
    void setColumnsHidden(int firstColumn, int lastColumn, bool hidden);
    void setMerged(const Area& area, bool merged);
    void addPageBreakBefore(int row);
    int numberFormatIndex(const QString& format);  // interns

    // The sheet's page setup, as the writer saves it and the pages print it.
    PageSetup& pageSetup() { return pageSetup_; }
    const PageSetup& pageSetup() const { return pageSetup_; }

    const QString& text(int row, int column) const;
    FormatValues resolve(int row, int column) const;
    FormatValues resolveRow(int row) const;        // a cell of the row in an unformatted column
    FormatValues resolveColumn(int column) const;  // a cell of the column in an unformatted row
    bool isMerged(int row, int column) const;
    // The height of every row 1..rowCount() in twips, hidden or not: the one
    // set, else the natural height for the largest font among the row's used
    // cells and its own format.
    std::vector<int> rowHeightsTwips() const;

    const RowData* row(int row) const {
        return row >= 1 && row <= static_cast<int>(rows_.size()) ? &rows_[row - 1] : nullptr;
    }
    int rowCount() const { return static_cast<int>(rows_.size()); }
    const ColumnData& column(int column) const { return columns_[column - 1]; }
    bool columnFormatted(int column) const { return columns_[column - 1].format.any; }
    bool anyColumnFormatted() const { return anyColumnFormatted_; }
    const std::vector<int>& pageBreaks() const { return pageBreaks_; }
    const std::vector<Area>& mergedAreas() const { return merged_; }
    const std::vector<QString>& numberFormats() const { return numberFormats_; }

    // Calls visit(row, column) for every cell the file must carry a record
    // for, row by row, left to right: cells with text or a format of their
    // own, and cells where a formatted row crosses a formatted column.
    template <typename Visit>
    void forEachUsedCell(Visit&& visit) const;

  private:
    RowData& rowAt(int row);
    CellData& cellAt(int row, int column);

    uint32_t stamp_ = 0;
    std::vector<RowData> rows_;
    std::vector<ColumnData> columns_;
    bool anyColumnFormatted_ = false;
    std::vector<int> pageBreaks_;  // ascending, no duplicates
    std::vector<Area> merged_;
    std::vector<QString> numberFormats_;
    PageSetup pageSetup_;
};

template <typename Visit>
void SheetModel::forEachUsedCell(Visit&& visit) const {
    for (int r = 1; r <= rowCount(); ++r) {
        const RowData& data = rows_[r - 1];
        const bool rowFormatted = data.format && data.format->any && anyColumnFormatted_;
        const int own = static_cast<int>(data.cells.size());
        const int last = rowFormatted ? kMaxColumns : own;
        for (int c = 1; c <= last; ++c) {
            const bool hasOwn =
                c <= own && (!data.cells[c - 1].text.isEmpty() || data.cells[c - 1].format.any);
            if (hasOwn || (rowFormatted && columns_[c - 1].format.any)) visit(r, c);
        }
    }
}

}  // namespace ksx4::xls
