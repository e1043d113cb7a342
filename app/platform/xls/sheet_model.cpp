#include "platform/xls/sheet_model.h"

#include <algorithm>
#include <cmath>

namespace ksx4::xls {
namespace {

FormatValues makeDefaults() {
    FormatValues v{};
    v[propertyIndex(Property::FontSize)] = 200;
    v[propertyIndex(Property::Bold)] = 0;
    v[propertyIndex(Property::HorizontalAlignment)] = 1;  // general
    v[propertyIndex(Property::VerticalAlignment)] = kXlBottom;
    v[propertyIndex(Property::NumberFormat)] = 0;  // "General"
    v[propertyIndex(Property::InteriorColorIndex)] = kXlNone;
    v[propertyIndex(Property::InteriorPattern)] = 0;  // follows the colour: solid when one is set
    for (int side = 0; side < kBorderSides; ++side) {
        const auto s = static_cast<BorderSide>(side);
        v[borderPropertyIndex(s, BorderField::LineStyle)] = kXlNone;
        v[borderPropertyIndex(s, BorderField::Weight)] = kXlThin;
        v[borderPropertyIndex(s, BorderField::ColorIndex)] = kXlAutomatic;
    }
    return v;
}

bool overlaps(const Area& a, const Area& b) {
    return a.firstRow <= b.lastRow && b.firstRow <= a.lastRow && a.firstColumn <= b.lastColumn &&
           b.firstColumn <= a.lastColumn;
}

// Takes each property from whichever of the given partial formats set it last.
int32_t combineOne(int p, const PartialFormat* a, const PartialFormat* b, const PartialFormat* c) {
    int32_t value = defaultFormatValues()[p];
    uint32_t best = 0;
    for (const PartialFormat* part : {a, b, c}) {
        if (part && part->properties[p].stamp > best) {
            best = part->properties[p].stamp;
            value = part->properties[p].value;
        }
    }
    return value;
}

FormatValues combine(const PartialFormat* a, const PartialFormat* b, const PartialFormat* c) {
    FormatValues values;
    for (int p = 0; p < kPropertyCount; ++p) values[p] = combineOne(p, a, b, c);
    return values;
}

}  // namespace

uint16_t columnWidthUnits(double characters) {
    const double units = std::floor((std::floor(characters * 7) + 5) * 256 / 7);
    return static_cast<uint16_t>(std::min(units, 65535.0));
}

int naturalRowTwips(int fontTwips) {
    const double points = std::ceil(fontTwips / 20.0 * 1.275 / 0.75) * 0.75;
    return std::max(kDefaultRowTwips, static_cast<int>(std::lround(points * 20)));
}

const FormatValues& defaultFormatValues() {
    static const FormatValues defaults = makeDefaults();
    return defaults;
}

SheetModel::SheetModel() : columns_(kMaxColumns), numberFormats_{QStringLiteral("General")} {}

RowData& SheetModel::rowAt(int row) {
    if (row > static_cast<int>(rows_.size())) rows_.resize(row);
    return rows_[row - 1];
}

CellData& SheetModel::cellAt(int row, int column) {
    RowData& data = rowAt(row);
    if (column > static_cast<int>(data.cells.size())) data.cells.resize(column);
    return data.cells[column - 1];
}

void SheetModel::apply(const Area& area, int property, int32_t value, uint32_t stamp) {
    if (area.firstRow == 1 && area.lastRow == kMaxRows) {
        for (int c = area.firstColumn; c <= area.lastColumn; ++c) {
            columns_[c - 1].format.set(property, value, stamp);
        }
        anyColumnFormatted_ = true;
        return;
    }
    if (area.firstColumn == 1 && area.lastColumn == kMaxColumns) {
        for (int r = area.firstRow; r <= area.lastRow; ++r) {
            RowData& data = rowAt(r);
            if (!data.format) data.format = std::make_unique<PartialFormat>();
            data.format->set(property, value, stamp);
        }
        return;
    }
    for (int r = area.firstRow; r <= area.lastRow; ++r) {
        for (int c = area.firstColumn; c <= area.lastColumn; ++c) {
            cellAt(r, c).format.set(property, value, stamp);
        }
    }
}

void SheetModel::setText(const Area& area, const QString& text) {
    for (int r = area.firstRow; r <= area.lastRow; ++r) {
        for (int c = area.firstColumn; c <= area.lastColumn; ++c) {
            if (text.isEmpty()) {
                const RowData* data = row(r);
                if (!data || c > static_cast<int>(data->cells.size())) continue;
            }
            cellAt(r, c).text = text;
        }
    }
}

void SheetModel::setRowHeight(int firstRow, int lastRow, int twips) {
    for (int r = firstRow; r <= lastRow; ++r) rowAt(r).heightTwips = twips;
}

void SheetModel::setRowsHidden(int firstRow, int lastRow, bool hidden) {
    for (int r = firstRow; r <= lastRow; ++r) rowAt(r).hidden = hidden;
}

void SheetModel::setColumnWidth(int firstColumn, int lastColumn, double width) {
    for (int c = firstColumn; c <= lastColumn; ++c) columns_[c - 1].width = width;
}

void SheetModel::setColumnsHidden(int firstColumn, int lastColumn, bool hidden) {
    for (int c = firstColumn; c <= lastColumn; ++c) columns_[c - 1].hidden = hidden;
}

void SheetModel::setMerged(const Area& area, bool merged) {
    std::erase_if(merged_, [&](const Area& a) { return overlaps(a, area); });
    const bool singleCell = area.firstRow == area.lastRow && area.firstColumn == area.lastColumn;
    if (merged && !singleCell) merged_.push_back(area);
}

void SheetModel::addPageBreakBefore(int row) {
    auto at = std::lower_bound(pageBreaks_.begin(), pageBreaks_.end(), row);
    if (at == pageBreaks_.end() || *at != row) pageBreaks_.insert(at, row);
}

int SheetModel::numberFormatIndex(const QString& format) {
    auto at = std::find(numberFormats_.begin(), numberFormats_.end(), format);
    if (at != numberFormats_.end()) return static_cast<int>(at - numberFormats_.begin());
    numberFormats_.push_back(format);
    return static_cast<int>(numberFormats_.size()) - 1;
}

const QString& SheetModel::text(int r, int c) const {
    static const QString empty;
    const RowData* data = row(r);
    if (!data || c < 1 || c > static_cast<int>(data->cells.size())) return empty;
    return data->cells[c - 1].text;
}

FormatValues SheetModel::resolve(int r, int c) const {
    const RowData* data = row(r);
    const PartialFormat* rowFormat = data ? data->format.get() : nullptr;
    const PartialFormat* cellFormat =
        data && c <= static_cast<int>(data->cells.size()) ? &data->cells[c - 1].format : nullptr;
    return combine(&columns_[c - 1].format, rowFormat, cellFormat);
}

FormatValues SheetModel::resolveRow(int r) const {
    const RowData* data = row(r);
    return combine(data ? data->format.get() : nullptr, nullptr, nullptr);
}

FormatValues SheetModel::resolveColumn(int c) const {
    return combine(&columns_[c - 1].format, nullptr, nullptr);
}

std::vector<int> SheetModel::rowHeightsTwips() const {
    std::vector<int> largestFont(rows_.size(), 0);
    const int fontSize = propertyIndex(Property::FontSize);
    forEachUsedCell([&](int r, int c) {
        const RowData& data = rows_[static_cast<std::size_t>(r - 1)];
        const PartialFormat* cell =
            c <= static_cast<int>(data.cells.size()) ? &data.cells[c - 1].format : nullptr;
        int& largest = largestFont[static_cast<std::size_t>(r - 1)];
        largest = std::max(largest,
                           combineOne(fontSize, &columns_[c - 1].format, data.format.get(), cell));
    });
    std::vector<int> heights(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const RowData& data = rows_[i];
        const int r = static_cast<int>(i) + 1;
        if (data.heightTwips >= 0) {
            heights[i] = std::max(data.heightTwips, 1);
            continue;
        }
        int largest = largestFont[i];
        if (data.format && data.format->any)
            largest = std::max(largest, resolveRow(r)[propertyIndex(Property::FontSize)]);
        heights[i] = naturalRowTwips(largest);
    }
    return heights;
}

bool SheetModel::isMerged(int r, int c) const {
    const Area cell{r, c, r, c};
    return std::any_of(merged_.begin(), merged_.end(),
                       [&](const Area& a) { return overlaps(a, cell); });
}

}  // namespace ksx4::xls
