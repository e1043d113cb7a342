#include "platform/xls/biff8_writer.h"

#include "platform/xls/byte_writer.h"
#include "platform/xls/sheet_model.h"
#include "platform/xls/spreadsheet.h"
#include "platform/xls/xf_encoding.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>

namespace ksx4::xls {
namespace {

// Record types.
constexpr uint16_t kBof = 0x0809, kEof = 0x000A, kCodepage = 0x0042, kWindow1 = 0x003D,
                   kDateMode = 0x0022, kFont = 0x0031, kFormat = 0x041E, kXf = 0x00E0,
                   kStyle = 0x0293, kBoundSheet = 0x0085, kSupBook = 0x01AE, kExternSheet = 0x0017,
                   kName = 0x0018, kSst = 0x00FC, kExtSst = 0x00FF, kContinue = 0x003C,
                   kPrintHeaders = 0x002A, kPrintGridlines = 0x002B, kGridSet = 0x0082,
                   kDefaultRowHeight = 0x0225, kWsBool = 0x0081, kHPageBreaks = 0x001B,
                   kHeader = 0x0014, kFooter = 0x0015, kHCenter = 0x0083, kVCenter = 0x0084,
                   kLeftMargin = 0x0026, kRightMargin = 0x0027, kTopMargin = 0x0028,
                   kBottomMargin = 0x0029, kSetup = 0x00A1, kDefColWidth = 0x0055,
                   kColInfo = 0x007D, kDimensions = 0x0200, kRow = 0x0208, kLabelSst = 0x00FD,
                   kBlank = 0x0201, kWindow2 = 0x023E, kSelection = 0x001D, kMergedCells = 0x00E5;

constexpr std::size_t kMaxRecordData = 8224;
constexpr uint16_t kDefaultXf = 15;
constexpr int kMaxXfs = 4000;
constexpr int kMaxPageBreaks = 1026;
constexpr int kMaxMergesPerRecord = 1026;
constexpr int kMaxHeaderFooter = 255;
constexpr int kFirstCustomFormat = 164;

[[noreturn]] void refuse(const QString& what) {
    throw SpreadsheetError(kErrRequestRefused, what);
}

bool fitsInOneByte(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar ch) { return ch.unicode() <= 0xFF; });
}

void characters(ByteWriter& out, const QString& text, bool wide, qsizetype from, qsizetype count) {
    for (qsizetype i = from; i < from + count; ++i) {
        if (wide) {
            out.u16(text[i].unicode());
        } else {
            out.u8(static_cast<uint8_t>(text[i].unicode()));
        }
    }
}

// Length (16 or 8 bits), option flags, characters: one byte each when they
// all fit, else UTF-16.
void unicodeString(ByteWriter& out, const QString& text, bool shortLength = false) {
    const bool wide = !fitsInOneByte(text);
    if (shortLength) {
        out.u8(static_cast<uint8_t>(text.size()));
    } else {
        out.u16(static_cast<uint16_t>(text.size()));
    }
    out.u8(wide ? 1 : 0);
    characters(out, text, wide, 0, text.size());
}

uint16_t builtInFormat(const QString& format) {
    static const std::pair<const char*, uint16_t> builtIns[] = {
        {"General", 0},  {"0", 1},  {"0.00", 2},   {"#,##0", 3},
        {"#,##0.00", 4}, {"0%", 9}, {"0.00%", 10}, {"@", 49},
    };
    for (const auto& [text, index] : builtIns) {
        if (format == QLatin1String(text)) return index;
    }
    return 0xFFFF;
}

struct XfHash {
    std::size_t operator()(const XfRecord& r) const {
        return std::hash<std::string_view>{}(
            std::string_view(reinterpret_cast<const char*>(r.data()), r.size()));
    }
};

struct CellEntry {
    uint16_t row, column, xf;
    int32_t string;  // -1: a formatted empty cell
};

struct RowEntry {
    uint16_t row, firstColumn, endColumn, heightTwips;
    uint32_t flags;
    std::size_t firstCell, cellCount;
};

struct ColumnRun {
    uint16_t first, last, width, xf;
    bool hidden;
};

struct SheetPlan {
    const Worksheet* sheet;
    std::vector<CellEntry> cells;
    std::vector<RowEntry> rows;
    std::vector<ColumnRun> columns;
    std::optional<Area> printArea;
    QString header, footer;
};

QString headerText(std::initializer_list<std::pair<const char*, const QString*>> sections,
                   const char* what) {
    QString text;
    for (const auto& [code, part] : sections) {
        if (!part->isEmpty()) text += QLatin1String(code) + *part;
    }
    if (text.size() > kMaxHeaderFooter) {
        refuse(QStringLiteral("The page %1 is longer than %2 characters.")
                   .arg(QLatin1String(what))
                   .arg(kMaxHeaderFooter));
    }
    return text;
}

class WorkbookWriter {
  public:
    explicit WorkbookWriter(const Workbook& book) : book_(book) {}

    std::vector<uint8_t> write() {
        for (int i = 1; i <= book_.worksheetCount(); ++i)
            plans_.push_back(plan(book_.worksheet(i)));
        writeGlobals();
        for (std::size_t i = 0; i < plans_.size(); ++i) {
            out_.patchU32(sheetOffsetPatches_[i], static_cast<uint32_t>(out_.size()));
            writeSheet(plans_[i], i == 0);
        }
        return std::move(out_.bytes());
    }

  private:
    // ---- collecting fonts, formats, cell formats and strings ----

    uint16_t fontIndex(int twips, bool bold) {
        const auto key = std::make_pair(twips, bold);
        auto at = std::find(fonts_.begin(), fonts_.end(), key);
        if (at == fonts_.end()) at = fonts_.insert(fonts_.end(), key);
        const auto index = static_cast<uint16_t>(at - fonts_.begin());
        return index < 4 ? index : index + 1;  // there is no font 4
    }

    uint16_t formatIndex(const QString& format) {
        const uint16_t builtIn = builtInFormat(format);
        if (builtIn != 0xFFFF) return builtIn;
        auto at = std::find(customFormats_.begin(), customFormats_.end(), format);
        if (at == customFormats_.end()) at = customFormats_.insert(customFormats_.end(), format);
        return static_cast<uint16_t>(kFirstCustomFormat + (at - customFormats_.begin()));
    }

    uint16_t xfIndex(const FormatValues& values, const std::vector<QString>& sheetFormats,
                     std::vector<int>& formatCache) {
        if (haveLast_ && values == lastValues_) return lastXf_;
        const int localFormat = values[propertyIndex(Property::NumberFormat)];
        if (formatCache[localFormat] < 0)
            formatCache[localFormat] = formatIndex(sheetFormats[localFormat]);
        const XfRecord record = encodeCellXf(values,
                                             fontIndex(values[propertyIndex(Property::FontSize)],
                                                       values[propertyIndex(Property::Bold)] != 0),
                                             static_cast<uint16_t>(formatCache[localFormat]));
        auto [at, added] =
            xfIndexes_.try_emplace(record, static_cast<uint16_t>(kDefaultXf + 1 + cellXfs_.size()));
        if (added) {
            if (cellXfs_.size() >= kMaxXfs)
                refuse(QStringLiteral("The workbook has too many different cell formats."));
            cellXfs_.push_back(record);
        }
        haveLast_ = true;
        lastValues_ = values;
        lastXf_ = at->second;
        return lastXf_;
    }

    int32_t stringIndex(const QString& text) {
        ++stringUses_;
        auto at = stringIndexes_.find(text);
        if (at != stringIndexes_.end()) return *at;
        stringIndexes_.insert(text, static_cast<int32_t>(strings_.size()));
        strings_.push_back(text);
        return static_cast<int32_t>(strings_.size()) - 1;
    }

    SheetPlan plan(const Worksheet& sheet) {
        const SheetModel& model = sheet.model();
        const PageSetup& setup = model.pageSetup();
        SheetPlan p{&sheet, {}, {}, {}, std::nullopt, {}, {}};
        std::vector<int> formatCache(model.numberFormats().size(), -1);
        haveLast_ = false;  // number formats are numbered per sheet
        auto xfOf = [&](const FormatValues& v) {
            return xfIndex(v, model.numberFormats(), formatCache);
        };

        if (!setup.printArea.isEmpty()) {
            try {
                p.printArea = parseAddress(setup.printArea);
            } catch (const SpreadsheetError&) {
                refuse(QStringLiteral("The print area '%1' is not a valid reference.")
                           .arg(setup.printArea));
            }
        }
        p.header = headerText({{"&C", &setup.centerHeader}}, "header");
        p.footer = headerText(
            {{"&L", &setup.leftFooter}, {"&C", &setup.centerFooter}, {"&R", &setup.rightFooter}},
            "footer");

        for (int c = 1; c <= kMaxColumns; ++c) {
            const ColumnData& column = model.column(c);
            if (column.width < 0 && !column.hidden && !column.format.any) continue;
            const uint16_t width =
                column.width < 0 ? kDefaultColumnWidth : columnWidthUnits(column.width);
            const uint16_t xf = column.format.any ? xfOf(model.resolveColumn(c)) : kDefaultXf;
            const bool hidden = column.hidden || column.width == 0;
            const auto index = static_cast<uint16_t>(c - 1);
            ColumnRun* last = p.columns.empty() ? nullptr : &p.columns.back();
            if (last && last->last + 1 == index && last->width == width && last->xf == xf &&
                last->hidden == hidden) {
                last->last = index;
            } else {
                p.columns.push_back({index, index, width, xf, hidden});
            }
        }

        model.forEachUsedCell([&](int r, int c) {
            const QString& text = model.text(r, c);
            const FormatValues values = model.resolve(r, c);
            p.cells.push_back({static_cast<uint16_t>(r - 1), static_cast<uint16_t>(c - 1),
                               xfOf(values), text.isEmpty() ? -1 : stringIndex(text)});
        });

        const std::vector<int> heights = model.rowHeightsTwips();
        std::size_t next = 0;
        for (int r = 1; r <= model.rowCount(); ++r) {
            const RowData& data = *model.row(r);
            const auto row = static_cast<uint16_t>(r - 1);
            const std::size_t first = next;
            while (next < p.cells.size() && p.cells[next].row == row) ++next;
            const bool formatted = data.format && data.format->any;
            if (next == first && !formatted && data.heightTwips < 0 && !data.hidden) continue;
            const bool custom = data.heightTwips >= 0;
            uint32_t flags = 0x0100;
            if (data.hidden || data.heightTwips == 0) flags |= 0x20;
            if (custom) flags |= 0x40;
            if (formatted)
                flags |= 0x80 | (static_cast<uint32_t>(xfOf(model.resolveRow(r))) << 16);
            else
                flags |= static_cast<uint32_t>(kDefaultXf) << 16;
            const int twips = heights[static_cast<std::size_t>(r - 1)];
            const uint16_t firstColumn = next > first ? p.cells[first].column : 0;
            const uint16_t endColumn =
                next > first ? static_cast<uint16_t>(p.cells[next - 1].column + 1) : 0;
            p.rows.push_back({row, firstColumn, endColumn, static_cast<uint16_t>(twips), flags,
                              first, next - first});
        }
        if (static_cast<int>(model.pageBreaks().size()) > kMaxPageBreaks) {
            refuse(
                QStringLiteral("A worksheet holds more than %1 page breaks.").arg(kMaxPageBreaks));
        }
        return p;
    }

    // ---- workbook globals ----

    void record(uint16_t type, std::initializer_list<uint16_t> words) {
        const std::size_t at = out_.beginRecord(type);
        for (uint16_t w : words) out_.u16(w);
        out_.endRecord(at);
    }

    void writeGlobals() {
        record(kBof, {0x0600, 0x0005, 0x0DBB, 0x07CC, 0, 0, 0x0006, 0});
        record(kCodepage, {1200});
        record(kWindow1, {0, 0, 0x3A5C, 0x2328, 0x0038, 0, 0, 1, 600});
        record(kDateMode, {0});
        for (std::size_t i = 0; i < fonts_.size(); ++i)
            writeFont(fonts_[i].first, fonts_[i].second);
        for (std::size_t i = 0; i < customFormats_.size(); ++i) {
            const std::size_t at = out_.beginRecord(kFormat);
            out_.u16(static_cast<uint16_t>(kFirstCustomFormat + i));
            unicodeString(out_, customFormats_[i]);
            out_.endRecord(at);
        }
        for (int i = 0; i < 15; ++i) writeXf(styleXf(i));
        writeXf(defaultCellXf());
        for (const XfRecord& xf : cellXfs_) writeXf(xf);
        record(kStyle, {0x8000, 0xFF00});  // "Normal": built-in style 0 on XF 0, level 0xFF

        for (const SheetPlan& p : plans_) {
            const std::size_t at = out_.beginRecord(kBoundSheet);
            sheetOffsetPatches_.push_back(out_.size());
            out_.u32(0);  // the sheet's BOF, filled in later
            out_.u16(0);  // visible worksheet
            unicodeString(out_, p.sheet->name(), true);
            out_.endRecord(at);
        }

        const bool anyPrintArea = std::any_of(plans_.begin(), plans_.end(), [](const SheetPlan& p) {
            return p.printArea.has_value();
        });
        if (anyPrintArea) {
            record(kSupBook, {static_cast<uint16_t>(plans_.size()), 0x0401});  // this workbook
            const std::size_t at = out_.beginRecord(kExternSheet);
            out_.u16(static_cast<uint16_t>(plans_.size()));
            for (std::size_t i = 0; i < plans_.size(); ++i) {  // entry i: sheet i
                out_.u16(0);
                out_.u16(static_cast<uint16_t>(i));
                out_.u16(static_cast<uint16_t>(i));
            }
            out_.endRecord(at);
            for (std::size_t i = 0; i < plans_.size(); ++i) {
                if (plans_[i].printArea)
                    writePrintAreaName(static_cast<uint16_t>(i), *plans_[i].printArea);
            }
        }
        writeSharedStrings();
        record(kEof, {});
    }

    void writeFont(int twips, bool bold) {
        const std::size_t at = out_.beginRecord(kFont);
        out_.u16(static_cast<uint16_t>(twips));
        out_.u16(bold ? 1 : 0);      // bold (repeating the weight), not italic, not struck out
        out_.u16(0x7FFF);            // automatic colour
        out_.u16(bold ? 700 : 400);  // weight
        out_.u16(0);                 // no super- or subscript
        out_.u8(0);                  // not underlined
        out_.u8(2);                  // swiss family
        out_.u8(0);                  // ANSI character set
        out_.u8(0);
        unicodeString(out_, QStringLiteral("Arial"), true);
        out_.endRecord(at);
    }

    void writeXf(const XfRecord& xf) {
        const std::size_t at = out_.beginRecord(kXf);
        out_.raw(xf.data(), xf.size());
        out_.endRecord(at);
    }

    // The built-in name Print_Area, local to the sheet: one 3-D area token.
    void writePrintAreaName(uint16_t sheetIndex, const Area& area) {
        const std::size_t at = out_.beginRecord(kName);
        out_.u16(0x0020);  // built-in name
        out_.u8(0);        // no keyboard shortcut
        out_.u8(1);        // name length
        out_.u16(11);      // formula length
        out_.u16(0);
        out_.u16(static_cast<uint16_t>(sheetIndex + 1));
        out_.u32(0);           // no menu, description, help or status texts
        out_.u8(0);            // name characters one byte each
        out_.u8(0x06);         // Print_Area
        out_.u8(0x3B);         // 3-D area reference
        out_.u16(sheetIndex);  // EXTERNSHEET entry
        out_.u16(static_cast<uint16_t>(area.firstRow - 1));
        out_.u16(static_cast<uint16_t>(area.lastRow - 1));
        out_.u16(static_cast<uint16_t>(area.firstColumn - 1));  // absolute column
        out_.u16(static_cast<uint16_t>(area.lastColumn - 1));
        out_.endRecord(at);
    }

    // The shared string table, continued in CONTINUE records past 8224 bytes,
    // and its index EXTSST for every eighth (or more) string.
    void writeSharedStrings() {
        const std::size_t bucketSize = std::max<std::size_t>(8, (strings_.size() + 127) / 128);
        std::vector<std::pair<uint32_t, uint16_t>> buckets;  // stream offset, offset in record
        std::size_t recordStart = out_.beginRecord(kSst);
        out_.u32(stringUses_);
        out_.u32(static_cast<uint32_t>(strings_.size()));
        auto room = [&] { return kMaxRecordData - (out_.size() - recordStart - 4); };
        auto continueRecord = [&] {
            out_.endRecord(recordStart);
            recordStart = out_.beginRecord(kContinue);
        };
        for (std::size_t i = 0; i < strings_.size(); ++i) {
            const QString& text = strings_[i];
            const bool wide = !fitsInOneByte(text);
            const std::size_t charSize = wide ? 2 : 1;
            if (room() < 3 + charSize) continueRecord();  // never split before the first character
            if (i % bucketSize == 0) {
                buckets.emplace_back(static_cast<uint32_t>(out_.size()),
                                     static_cast<uint16_t>(out_.size() - recordStart));
            }
            out_.u16(static_cast<uint16_t>(text.size()));
            out_.u8(wide ? 1 : 0);
            qsizetype done = 0;
            while (done < text.size()) {
                if (room() < charSize) {
                    continueRecord();
                    out_.u8(wide ? 1 : 0);  // a resumed string repeats its option flags
                }
                const auto fit = static_cast<qsizetype>(room() / charSize);
                const qsizetype count = std::min(fit, text.size() - done);
                characters(out_, text, wide, done, count);
                done += count;
            }
        }
        out_.endRecord(recordStart);

        const std::size_t at = out_.beginRecord(kExtSst);
        out_.u16(static_cast<uint16_t>(bucketSize));
        for (const auto& [offset, inRecord] : buckets) {
            out_.u32(offset);
            out_.u16(inRecord);
            out_.u16(0);
        }
        out_.endRecord(at);
    }

    // ---- one worksheet ----

    void writeSheet(const SheetPlan& p, bool first) {
        const PageSetup& setup = p.sheet->pageSetup();
        const SheetModel& model = p.sheet->model();
        record(kBof, {0x0600, 0x0010, 0x0DBB, 0x07CC, 0, 0, 0x0006, 0});
        record(kPrintHeaders, {static_cast<uint16_t>(setup.printHeadings ? 1 : 0)});
        record(kPrintGridlines, {static_cast<uint16_t>(setup.printGridlines ? 1 : 0)});
        record(kGridSet, {1});
        record(kDefaultRowHeight, {0, kDefaultRowTwips});
        record(kWsBool, {0x04C1});
        if (!model.pageBreaks().empty()) {
            const std::size_t at = out_.beginRecord(kHPageBreaks);
            out_.u16(static_cast<uint16_t>(model.pageBreaks().size()));
            for (int row : model.pageBreaks()) {
                out_.u16(static_cast<uint16_t>(row - 1));  // the first row of the new page
                out_.u16(0);
                out_.u16(0xFF);
            }
            out_.endRecord(at);
        }
        for (const auto& [type, text] :
             {std::make_pair(kHeader, &p.header), std::make_pair(kFooter, &p.footer)}) {
            if (text->isEmpty()) continue;
            const std::size_t at = out_.beginRecord(type);
            unicodeString(out_, *text);
            out_.endRecord(at);
        }
        record(kHCenter, {static_cast<uint16_t>(setup.centerHorizontally ? 1 : 0)});
        record(kVCenter, {static_cast<uint16_t>(setup.centerVertically ? 1 : 0)});
        const std::pair<uint16_t, double> margins[] = {{kLeftMargin, setup.leftMargin},
                                                       {kRightMargin, setup.rightMargin},
                                                       {kTopMargin, setup.topMargin},
                                                       {kBottomMargin, setup.bottomMargin}};
        for (const auto& [type, points] : margins) {
            const std::size_t at = out_.beginRecord(type);
            out_.f64(points / 72.0);
            out_.endRecord(at);
        }
        writeSetup(setup);
        record(kDefColWidth, {8});
        for (const ColumnRun& run : p.columns) {
            record(kColInfo, {run.first, run.last, run.width, run.xf,
                              static_cast<uint16_t>(run.hidden ? 1 : 0), 0});
        }
        writeDimensions(p);
        for (std::size_t block = 0; block < p.rows.size(); block += 32) {
            const std::size_t end = std::min(p.rows.size(), block + 32);
            for (std::size_t i = block; i < end; ++i) {
                const RowEntry& row = p.rows[i];
                record(kRow,
                       {row.row, row.firstColumn, row.endColumn, row.heightTwips, 0, 0,
                        static_cast<uint16_t>(row.flags), static_cast<uint16_t>(row.flags >> 16)});
            }
            for (std::size_t i = block; i < end; ++i) {
                const RowEntry& row = p.rows[i];
                for (std::size_t k = row.firstCell; k < row.firstCell + row.cellCount; ++k)
                    writeCell(p.cells[k]);
            }
        }
        // Grid lines and headings on screen, zeros shown; the first sheet is the active one.
        record(kWindow2,
               {static_cast<uint16_t>(first ? 0x06B6 : 0x00B6), 0, 0, 0x40, 0, 0, 0, 0, 0});
        const std::size_t at = out_.beginRecord(kSelection);
        out_.u8(3);  // the only pane
        out_.u16(0);
        out_.u16(0);
        out_.u16(0);
        out_.u16(1);
        out_.u16(0);
        out_.u16(0);
        out_.u8(0);
        out_.u8(0);
        out_.endRecord(at);
        writeMergedCells(model.mergedAreas());
        record(kEof, {});
    }

    void writeSetup(const PageSetup& setup) {
        constexpr int kOverThenDown = 2, kPrintSheetEnd = 1;
        uint16_t flags = 0;
        if (setup.order == kOverThenDown) flags |= 0x01;
        if (setup.orientation == kXlPortrait) flags |= 0x02;
        if (setup.blackAndWhite) flags |= 0x08;
        if (setup.draft) flags |= 0x10;
        if (setup.printComments != kXlNone) flags |= 0x20;
        if (setup.firstPageNumber != kXlAutomatic) flags |= 0x80;
        if (setup.printComments == kPrintSheetEnd) flags |= 0x200;
        const std::size_t at = out_.beginRecord(kSetup);
        out_.u16(static_cast<uint16_t>(std::clamp(setup.paperSize, 0, 255)));
        out_.u16(static_cast<uint16_t>(std::clamp(setup.zoom, 10, 400)));
        out_.u16(static_cast<uint16_t>(setup.firstPageNumber != kXlAutomatic
                                           ? std::clamp(setup.firstPageNumber, 0, 32767)
                                           : 1));
        out_.u16(1);  // fit to 1 page wide
        out_.u16(1);  // and 1 page tall, unused while scaling by zoom
        out_.u16(flags);
        out_.u16(600);  // resolution
        out_.u16(600);
        out_.f64(setup.headerMargin / 72.0);
        out_.f64(setup.footerMargin / 72.0);
        out_.u16(1);  // copies
        out_.endRecord(at);
    }

    void writeDimensions(const SheetPlan& p) {
        uint32_t firstRow = 0, endRow = 0;
        uint16_t firstColumn = 0, endColumn = 0;
        if (!p.rows.empty()) {
            firstRow = p.rows.front().row;
            endRow = p.rows.back().row + 1u;
        }
        if (!p.cells.empty()) {
            firstColumn = 0xFFFF;
            for (const CellEntry& cell : p.cells) {
                firstColumn = std::min(firstColumn, cell.column);
                endColumn = std::max<uint16_t>(endColumn, cell.column + 1);
            }
        }
        const std::size_t at = out_.beginRecord(kDimensions);
        out_.u32(firstRow);
        out_.u32(endRow);
        out_.u16(firstColumn);
        out_.u16(endColumn);
        out_.u16(0);
        out_.endRecord(at);
    }

    void writeCell(const CellEntry& cell) {
        const std::size_t at = out_.beginRecord(cell.string >= 0 ? kLabelSst : kBlank);
        out_.u16(cell.row);
        out_.u16(cell.column);
        out_.u16(cell.xf);
        if (cell.string >= 0) out_.u32(static_cast<uint32_t>(cell.string));
        out_.endRecord(at);
    }

    void writeMergedCells(const std::vector<Area>& areas) {
        for (std::size_t from = 0; from < areas.size(); from += kMaxMergesPerRecord) {
            const std::size_t end = std::min(areas.size(), from + kMaxMergesPerRecord);
            const std::size_t at = out_.beginRecord(kMergedCells);
            out_.u16(static_cast<uint16_t>(end - from));
            for (std::size_t i = from; i < end; ++i) {
                out_.u16(static_cast<uint16_t>(areas[i].firstRow - 1));
                out_.u16(static_cast<uint16_t>(areas[i].lastRow - 1));
                out_.u16(static_cast<uint16_t>(areas[i].firstColumn - 1));
                out_.u16(static_cast<uint16_t>(areas[i].lastColumn - 1));
            }
            out_.endRecord(at);
        }
    }

    const Workbook& book_;
    ByteWriter out_{64 * 1024};
    std::vector<SheetPlan> plans_;
    std::vector<std::size_t> sheetOffsetPatches_;
    std::vector<std::pair<int, bool>> fonts_{4, {200, false}};  // fonts 0..3: the default font
    std::vector<QString> customFormats_;
    std::vector<XfRecord> cellXfs_;  // XF 16 on
    std::unordered_map<XfRecord, uint16_t, XfHash> xfIndexes_{{defaultCellXf(), kDefaultXf}};
    std::vector<QString> strings_;
    QHash<QString, int32_t> stringIndexes_;
    uint32_t stringUses_ = 0;
    bool haveLast_ = false;
    FormatValues lastValues_{};
    uint16_t lastXf_ = kDefaultXf;
};

}  // namespace

std::vector<uint8_t> writeBiff8Workbook(const Workbook& book) {
    return WorkbookWriter(book).write();
}

}  // namespace ksx4::xls
