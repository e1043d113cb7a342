// Address texts as the spreadsheet takes them: cells, areas, whole columns
// and whole rows, with or without "$".
#include "platform/xls/spreadsheet.h"

#include <QStringView>

#include <optional>
#include <utility>

namespace ksx4::xls {
namespace {

struct Reference {
    std::optional<int> row;
    std::optional<int> column;
};

// "A", "$IV", "7", "$7", "B12", "$B$12". Anything else: nullopt.
std::optional<Reference> parseReference(QStringView text) {
    Reference ref;
    qsizetype i = 0;
    if (i < text.size() && text[i] == u'$') ++i;
    int column = 0;
    qsizetype letters = 0;
    while (i < text.size() && letters < 3) {
        const char16_t ch = text[i].toUpper().unicode();
        if (ch < u'A' || ch > u'Z') break;
        column = column * 26 + (ch - u'A' + 1);
        ++i;
        ++letters;
    }
    if (letters > 0) {
        if (column > kMaxColumns) return std::nullopt;
        ref.column = column;
        if (i < text.size() && text[i] == u'$') ++i;
    } else if (i > 0 && i == text.size()) {
        return std::nullopt;  // a lone "$"
    }
    int row = 0;
    qsizetype digits = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        row = row * 10 + (text[i].unicode() - u'0');
        if (row > kMaxRows) return std::nullopt;
        ++i;
        ++digits;
    }
    if (i != text.size() || (letters == 0 && digits == 0)) return std::nullopt;
    if (digits > 0) {
        if (row < 1) return std::nullopt;
        ref.row = row;
    }
    return ref;
}

[[noreturn]] void refuse(const QString& address) {
    throw SpreadsheetError(
        kErrRequestRefused,
        QStringLiteral("The address '%1' is not a valid reference.").arg(address));
}

}  // namespace

Area parseAddress(const QString& address) {
    const qsizetype colon = address.indexOf(u':');
    const QStringView whole(address);
    const auto first = parseReference(colon < 0 ? whole : whole.left(colon));
    if (!first) refuse(address);
    if (colon < 0) {
        if (!first->row || !first->column) refuse(address);
        return {*first->row, *first->column, *first->row, *first->column};
    }
    const auto last = parseReference(whole.mid(colon + 1));
    if (!last) refuse(address);
    Area area;
    if (first->row && first->column && last->row && last->column) {
        area = {*first->row, *first->column, *last->row, *last->column};
    } else if (!first->row && !last->row && first->column && last->column) {
        area = {1, *first->column, kMaxRows, *last->column};
    } else if (!first->column && !last->column && first->row && last->row) {
        area = {*first->row, 1, *last->row, kMaxColumns};
    } else {
        refuse(address);
    }
    if (area.firstRow > area.lastRow) std::swap(area.firstRow, area.lastRow);
    if (area.firstColumn > area.lastColumn) std::swap(area.firstColumn, area.lastColumn);
    return area;
}

}  // namespace ksx4::xls
