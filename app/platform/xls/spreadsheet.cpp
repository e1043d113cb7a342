#include "platform/xls/spreadsheet.h"

#include "core/operator.h"
#include "platform/files/durable_file.h"
#include "platform/xls/sheet_model.h"
#include "platform/xls/workbook_file.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace ksx4::xls {
namespace {

constexpr int kErrSubscript = 9;
constexpr int kErrNoObject = 91;
constexpr int kErrObjectRequired = 424;
constexpr int kErrServerGone = 462;
constexpr int kMaxTextLength = 32767;

[[noreturn]] void refuse(const char* property, const char* object = "Range") {
    throw SpreadsheetError(kErrRequestRefused,
                           QStringLiteral("Invalid value for %2.%1")
                               .arg(QLatin1String(property), QLatin1String(object)));
}

bool oneOf(int value, std::initializer_list<int> allowed) {
    return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

bool isColorIndex(int index) {
    return (index >= 1 && index <= 56) || index == kXlNone || index == kXlAutomatic;
}

bool isWholeColumns(const Area& a) {
    return a.firstRow == 1 && a.lastRow == kMaxRows;
}
bool isWholeRows(const Area& a) {
    return a.firstColumn == 1 && a.lastColumn == kMaxColumns;
}

int toInt(bool b) {
    return b ? 1 : 0;
}

}  // namespace

// ---- Application ---------------------------------------------------------

Application::Application(Operator& ui) : ui_(&ui) {}
Application::~Application() = default;

std::unique_ptr<Application> Application::create(Operator& ui) {
    return std::unique_ptr<Application>(new Application(ui));
}

int Application::sheetsInNewWorkbook() const {
    return sheetsInNewWorkbook_;
}

void Application::setSheetsInNewWorkbook(int count) {
    request();
    if (count < 1 || count > 255) refuse("SheetsInNewWorkbook", "Application");
    sheetsInNewWorkbook_ = count;
}

Workbook& Application::addWorkbook() {
    request();
    workbooks_.push_back(std::unique_ptr<Workbook>(new Workbook(*this, sheetsInNewWorkbook_)));
    Workbook& book = *workbooks_.back();
    selection_ = book.worksheet(1).cells(1, 1);
    return book;
}

Range Application::selection() {
    if (quit_)
        throw SpreadsheetError(
            kErrServerGone,
            QStringLiteral("The remote server machine does not exist or is unavailable"));
    if (!selection_ || !selection_->worksheet().workbook().isOpen()) {
        throw SpreadsheetError(kErrNoObject,
                               QStringLiteral("Object variable or With block variable not set"));
    }
    return *selection_;
}

double Application::inchesToPoints(double inches) const {
    return inches * 72.0;
}

void Application::quit() {
    for (auto& book : workbooks_) book->close(false);
    selection_.reset();
    quit_ = true;
}

bool Application::hasQuit() const {
    return quit_;
}

Operator& Application::ui() const {
    return *ui_;
}

void Application::injectFailure(int countdown, int number, const QString& description) {
    failureCountdown_ = countdown;
    failureNumber_ = number;
    failureDescription_ = description;
}

void Application::request() {
    if (quit_)
        throw SpreadsheetError(
            kErrServerGone,
            QStringLiteral("The remote server machine does not exist or is unavailable"));
    if (failureCountdown_ > 0 && --failureCountdown_ == 0) {
        throw SpreadsheetError(failureNumber_, failureDescription_);
    }
}

// ---- Workbook ------------------------------------------------------------

Workbook::Workbook(Application& app, int sheetCount) : app_(&app) {
    for (int i = 1; i <= sheetCount; ++i) {
        sheets_.push_back(std::unique_ptr<Worksheet>(
            new Worksheet(app, *this, QStringLiteral("Sheet%1").arg(i))));
    }
}

Worksheet& Workbook::worksheet(int index) {
    return const_cast<Worksheet&>(std::as_const(*this).worksheet(index));
}

const Worksheet& Workbook::worksheet(int index) const {
    if (!open_) throw SpreadsheetError(kErrObjectRequired, QStringLiteral("Object required"));
    if (index < 1 || index > worksheetCount())
        throw SpreadsheetError(kErrSubscript, QStringLiteral("Subscript out of range"));
    return *sheets_[index - 1];
}

int Workbook::worksheetCount() const {
    return static_cast<int>(sheets_.size());
}

bool mayReplaceFile(Operator& ui, const QString& path) {
    if (!files::fileExists(path)) return true;
    const QString question =
        QStringLiteral(
            "A file named '%1' already exists in this location. Do you want to replace it?")
            .arg(QFileInfo(path).fileName());
    return ui.message(question, Buttons::YesNo, Icon::Exclamation) == Answer::Yes;
}

void Workbook::saveAs(const QString& path) {
    app_->request();
    if (!open_) throw SpreadsheetError(kErrObjectRequired, QStringLiteral("Object required"));
    if (!mayReplaceFile(app_->ui(), path)) {
        throw SpreadsheetError(
            kErrRequestRefused,
            QStringLiteral("The workbook was not saved: '%1' exists and was not replaced.")
                .arg(path));
    }
    writeFile(path);
    savedPath_ = path;
}

void Workbook::writeFile(const QString& path) const {
    const std::vector<uint8_t> bytes = buildWorkbookFile(*this);
    if (auto failure = files::writeFileDurably(path, bytes.data(), bytes.size())) {
        throw SpreadsheetError(kErrRequestRefused,
                               QStringLiteral("Cannot save '%1': %2").arg(path, failure->reason),
                               failure->fromSystem ? failure->reason : QString());
    }
}

void Workbook::close(bool saveChanges) {
    if (!open_) return;
    if (saveChanges && !savedPath_.isEmpty()) writeFile(savedPath_);
    open_ = false;
}

bool Workbook::isOpen() const {
    return open_;
}

// ---- Worksheet -----------------------------------------------------------

Worksheet::Worksheet(Application& app, Workbook& book, QString name)
    : app_(&app), book_(&book), name_(std::move(name)), model_(std::make_shared<SheetModel>()) {}

void Worksheet::ensureAlive() const {
    if (app_->hasQuit())
        throw SpreadsheetError(
            kErrServerGone,
            QStringLiteral("The remote server machine does not exist or is unavailable"));
    if (!book_->isOpen())
        throw SpreadsheetError(kErrObjectRequired, QStringLiteral("Object required"));
}

void Worksheet::request() const {
    ensureAlive();
    app_->request();
}

Range Worksheet::range(const QString& address) {
    ensureAlive();
    return Range(*this, parseAddress(address));
}

Range Worksheet::rows(const QString& address) {
    ensureAlive();
    const bool single = !address.contains(u':');
    const Area area = parseAddress(single ? address + u':' + address : address);
    if (!isWholeRows(area)) refuse("Rows", "Worksheet");
    return Range(*this, area);
}

Range Worksheet::columns(const QString& address) {
    ensureAlive();
    const bool single = !address.contains(u':');
    const Area area = parseAddress(single ? address + u':' + address : address);
    if (!isWholeColumns(area) || isWholeRows(area)) refuse("Columns", "Worksheet");
    return Range(*this, area);
}

Range Worksheet::cells(int row, int column) {
    ensureAlive();
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
        refuse("Cells", "Worksheet");
    return Range(*this, {row, column, row, column});
}

void Worksheet::addHorizontalPageBreak(const Range& before) {
    request();
    const int row = before.area().firstRow;
    if (&before.worksheet() != this || row < 2) {
        throw SpreadsheetError(kErrRequestRefused,
                               QStringLiteral("Add method of HPageBreaks class failed"));
    }
    model_->addPageBreakBefore(row);
}

PageSetup& Worksheet::pageSetup() {
    request();
    return model_->pageSetup();
}

const PageSetup& Worksheet::pageSetup() const {
    return model_->pageSetup();
}

Application& Worksheet::application() const {
    return *app_;
}
Workbook& Worksheet::workbook() const {
    return *book_;
}

QString Worksheet::text(int row, int column) const {
    return model_->text(row, column);
}

CellFormat Worksheet::format(int row, int column) const {
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) return {};
    const FormatValues v = model_->resolve(row, column);
    auto at = [&](Property p) { return v[propertyIndex(p)]; };
    CellFormat f;
    f.fontSize = at(Property::FontSize) / 20.0;
    f.bold = at(Property::Bold) != 0;
    f.horizontalAlignment = at(Property::HorizontalAlignment);
    f.verticalAlignment = at(Property::VerticalAlignment);
    f.wrapText = at(Property::WrapText) != 0;
    f.orientation = at(Property::Orientation);
    f.indentLevel = at(Property::IndentLevel);
    f.shrinkToFit = at(Property::ShrinkToFit) != 0;
    f.mergeCells = model_->isMerged(row, column);
    f.numberFormat = model_->numberFormats()[at(Property::NumberFormat)];
    f.interiorColorIndex = at(Property::InteriorColorIndex);
    const int pattern = at(Property::InteriorPattern);
    f.interiorPattern =
        pattern != 0 ? pattern : (f.interiorColorIndex == kXlNone ? kXlNone : kXlPatternSolid);
    Border* sides[kBorderSides] = {&f.left,  &f.top,          &f.bottom,
                                   &f.right, &f.diagonalDown, &f.diagonalUp};
    for (int s = 0; s < kBorderSides; ++s) {
        const auto side = static_cast<BorderSide>(s);
        sides[s]->lineStyle = v[borderPropertyIndex(side, BorderField::LineStyle)];
        sides[s]->weight = v[borderPropertyIndex(side, BorderField::Weight)];
        sides[s]->colorIndex = v[borderPropertyIndex(side, BorderField::ColorIndex)];
    }
    return f;
}

std::optional<double> Worksheet::rowHeight(int row) const {
    const RowData* data = model_->row(row);
    if (!data || data->heightTwips < 0) return std::nullopt;
    return data->heightTwips / 20.0;
}

bool Worksheet::rowHidden(int row) const {
    const RowData* data = model_->row(row);
    return data && data->hidden;
}

std::optional<double> Worksheet::columnWidth(int column) const {
    if (column < 1 || column > kMaxColumns) return std::nullopt;
    const double width = model_->column(column).width;
    if (width < 0) return std::nullopt;
    return width;
}

bool Worksheet::columnHidden(int column) const {
    return column >= 1 && column <= kMaxColumns && model_->column(column).hidden;
}

std::vector<int> Worksheet::horizontalPageBreaks() const {
    return model_->pageBreaks();
}

std::vector<std::pair<int, int>> Worksheet::usedCells() const {
    std::vector<std::pair<int, int>> cells;
    model_->forEachUsedCell([&](int r, int c) { cells.emplace_back(r, c); });
    return cells;
}

int Worksheet::usedRowCount() const {
    int last = 0;
    for (int r = 1; r <= model_->rowCount(); ++r) {
        const RowData& data = *model_->row(r);
        if (!data.cells.empty() || data.format || data.heightTwips >= 0 || data.hidden) last = r;
    }
    return last;
}

int Worksheet::usedColumnCount() const {
    int last = 0;
    model_->forEachUsedCell([&](int, int c) { last = std::max(last, c); });
    return last;
}

// ---- Range and its views -------------------------------------------------

Range::Range(Worksheet& sheet, Area area) : sheet_(&sheet), area_(area) {
    const bool inside = area.firstRow >= 1 && area.firstRow <= area.lastRow &&
                        area.lastRow <= kMaxRows && area.firstColumn >= 1 &&
                        area.firstColumn <= area.lastColumn && area.lastColumn <= kMaxColumns;
    if (!inside) refuse("Range", "Worksheet");
}

void Range::setValue(const QString& text) {
    sheet_->request();
    if (text.size() > kMaxTextLength) refuse("Value");
    sheet_->model_->setText(area_, text);
}

QString Range::value() const {
    sheet_->request();
    return sheet_->model_->text(area_.firstRow, area_.firstColumn);
}

void Range::select() {
    sheet_->request();
    sheet_->app_->selection_ = *this;
}

void Range::setRowHeight(double points) {
    sheet_->request();
    if (!(points >= 0 && points <= 409)) refuse("RowHeight");
    sheet_->model_->setRowHeight(area_.firstRow, area_.lastRow,
                                 static_cast<int>(std::lround(points * 20)));
}

void Range::setColumnWidth(double characters) {
    sheet_->request();
    if (!(characters >= 0 && characters <= 255)) refuse("ColumnWidth");
    sheet_->model_->setColumnWidth(area_.firstColumn, area_.lastColumn, characters);
}

namespace {

void applyProperty(SheetModel& model, const Area& area, Property p, int value) {
    model.apply(area, propertyIndex(p), value, model.nextStamp());
}

}  // namespace

void Range::setHorizontalAlignment(int alignment) {
    sheet_->request();
    if (!oneOf(alignment, {1, kXlLeft, kXlCenter, kXlRight, 5, -4130, 7, -4117}))
        refuse("HorizontalAlignment");
    applyProperty(*sheet_->model_, area_, Property::HorizontalAlignment, alignment);
}

void Range::setVerticalAlignment(int alignment) {
    sheet_->request();
    if (!oneOf(alignment, {kXlTop, kXlCenter, kXlBottom, -4130, -4117}))
        refuse("VerticalAlignment");
    applyProperty(*sheet_->model_, area_, Property::VerticalAlignment, alignment);
}

void Range::setWrapText(bool wrap) {
    sheet_->request();
    applyProperty(*sheet_->model_, area_, Property::WrapText, toInt(wrap));
}

void Range::setOrientation(int degrees) {
    sheet_->request();
    constexpr int kXlHorizontal = -4128, kXlUpward = -4171, kXlDownward = -4170,
                  kXlVertical = -4166;
    if (degrees == kXlHorizontal) degrees = 0;
    if (degrees == kXlUpward) degrees = 90;
    if (degrees == kXlDownward) degrees = -90;
    if (degrees != kXlVertical && (degrees < -90 || degrees > 90)) refuse("Orientation");
    applyProperty(*sheet_->model_, area_, Property::Orientation, degrees);
}

void Range::setIndentLevel(int level) {
    sheet_->request();
    if (level < 0 || level > 15) refuse("IndentLevel");
    applyProperty(*sheet_->model_, area_, Property::IndentLevel, level);
}

void Range::setShrinkToFit(bool shrink) {
    sheet_->request();
    applyProperty(*sheet_->model_, area_, Property::ShrinkToFit, toInt(shrink));
}

void Range::setMergeCells(bool merge) {
    sheet_->request();
    sheet_->model_->setMerged(area_, merge);
}

void Range::setNumberFormat(const QString& format) {
    sheet_->request();
    if (format.isEmpty() || format.size() > 255) refuse("NumberFormat");
    const int index = sheet_->model_->numberFormatIndex(format);
    applyProperty(*sheet_->model_, area_, Property::NumberFormat, index);
}

void Range::setHidden(bool hidden) {
    sheet_->request();
    if (isWholeColumns(area_) && !isWholeRows(area_)) {
        sheet_->model_->setColumnsHidden(area_.firstColumn, area_.lastColumn, hidden);
    } else if (isWholeRows(area_)) {
        sheet_->model_->setRowsHidden(area_.firstRow, area_.lastRow, hidden);
    } else {
        refuse("Hidden");
    }
}

void Interior::setColorIndex(int index) {
    range_.sheet_->request();
    if (!isColorIndex(index)) refuse("ColorIndex", "Interior");
    SheetModel& model = *range_.sheet_->model_;
    const uint32_t stamp = model.nextStamp();
    model.apply(range_.area_, propertyIndex(Property::InteriorColorIndex), index, stamp);
    // No colour clears the fill; a pattern chosen later applies to a new colour.
    if (index == kXlNone)
        model.apply(range_.area_, propertyIndex(Property::InteriorPattern), 0, stamp);
}

void Interior::setPattern(int pattern) {
    range_.sheet_->request();
    // solid, none, automatic, and the grey shades 75/50/25/16/8 percent
    if (!oneOf(pattern, {kXlPatternSolid, kXlNone, kXlAutomatic, -4126, -4125, -4124, 17, 18})) {
        refuse("Pattern", "Interior");
    }
    SheetModel& model = *range_.sheet_->model_;
    model.apply(range_.area_, propertyIndex(Property::InteriorPattern), pattern, model.nextStamp());
}

void Font::setSize(double points) {
    range_.sheet_->request();
    if (!(points >= 1 && points <= 409)) refuse("Size", "Font");
    SheetModel& model = *range_.sheet_->model_;
    model.apply(range_.area_, propertyIndex(Property::FontSize),
                static_cast<int>(std::lround(points * 20)), model.nextStamp());
}

void Font::setBold(bool bold) {
    range_.sheet_->request();
    SheetModel& model = *range_.sheet_->model_;
    model.apply(range_.area_, propertyIndex(Property::Bold), toInt(bold), model.nextStamp());
}

namespace {

// One border request on an area, spread over the cells' own edges: an outer
// edge touches the cells along it, an inside line both cells it divides.
void applyBorder(SheetModel& model, const Area& a, BorderIndex index, BorderField field,
                 int value) {
    const uint32_t stamp = model.nextStamp();
    auto put = [&](Area sub, BorderSide side) {
        if (sub.firstRow > sub.lastRow || sub.firstColumn > sub.lastColumn) return;
        model.apply(sub, borderPropertyIndex(side, field), value, stamp);
    };
    switch (index) {
        case BorderIndex::DiagonalDown:
            put(a, BorderSide::DiagonalDown);
            break;
        case BorderIndex::DiagonalUp:
            put(a, BorderSide::DiagonalUp);
            break;
        case BorderIndex::EdgeLeft:
            put({a.firstRow, a.firstColumn, a.lastRow, a.firstColumn}, BorderSide::Left);
            break;
        case BorderIndex::EdgeRight:
            put({a.firstRow, a.lastColumn, a.lastRow, a.lastColumn}, BorderSide::Right);
            break;
        case BorderIndex::EdgeTop:
            put({a.firstRow, a.firstColumn, a.firstRow, a.lastColumn}, BorderSide::Top);
            break;
        case BorderIndex::EdgeBottom:
            put({a.lastRow, a.firstColumn, a.lastRow, a.lastColumn}, BorderSide::Bottom);
            break;
        case BorderIndex::InsideVertical:
            if (isWholeRows(a)) {  // kept on the rows, not on every column's cells
                if (a.firstColumn < a.lastColumn)
                    put(a, BorderSide::Left), put(a, BorderSide::Right);
                break;
            }
            put({a.firstRow, a.firstColumn, a.lastRow, a.lastColumn - 1}, BorderSide::Right);
            put({a.firstRow, a.firstColumn + 1, a.lastRow, a.lastColumn}, BorderSide::Left);
            break;
        case BorderIndex::InsideHorizontal:
            if (isWholeColumns(a)) {  // kept on the columns
                if (a.firstRow < a.lastRow) put(a, BorderSide::Top), put(a, BorderSide::Bottom);
                break;
            }
            put({a.firstRow, a.firstColumn, a.lastRow - 1, a.lastColumn}, BorderSide::Bottom);
            put({a.firstRow + 1, a.firstColumn, a.lastRow, a.lastColumn}, BorderSide::Top);
            break;
    }
}

bool isBorderIndex(BorderIndex index) {
    const int i = static_cast<int>(index);
    return i >= 5 && i <= 12;
}

}  // namespace

void Borders::setLineStyle(int style) {
    range_.sheet_->request();
    // none, continuous, dash, dot, double, dash-dot, dash-dot-dot, slanted dash-dot
    if (!isBorderIndex(index_) ||
        !oneOf(style, {kXlNone, kXlContinuous, -4115, -4118, -4119, 4, 5, 13})) {
        refuse("LineStyle", "Border");
    }
    applyBorder(*range_.sheet_->model_, range_.area_, index_, BorderField::LineStyle, style);
}

void Borders::setWeight(int weight) {
    range_.sheet_->request();
    // hairline, thin, medium, thick
    if (!isBorderIndex(index_) || !oneOf(weight, {1, kXlThin, -4138, 4}))
        refuse("Weight", "Border");
    applyBorder(*range_.sheet_->model_, range_.area_, index_, BorderField::Weight, weight);
}

void Borders::setColorIndex(int index) {
    range_.sheet_->request();
    if (!isBorderIndex(index_) || !isColorIndex(index)) refuse("ColorIndex", "Border");
    applyBorder(*range_.sheet_->model_, range_.area_, index_, BorderField::ColorIndex, index);
}

}  // namespace ksx4::xls
