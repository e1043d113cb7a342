#pragma once
// Our spreadsheet component: an in-memory workbook with one worksheet model
// that takes the same requests the report code would make of a spreadsheet
// application (ranges by address text, selection, formats, page setup, page
// breaks, SaveAs), and saves real Excel 97-2003 workbooks (.xls).
//
// Every failure is a SpreadsheetError with a number and a description.
// Formats applied to columns, rows, ranges and cells combine as they would in
// a spreadsheet application: later requests override earlier ones for the
// cells they cover.
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace ksx4 {
class Operator;
}

namespace ksx4::xls {

inline constexpr int kErrComponentMissing = 429;  // the component is not available
inline constexpr int kErrRequestRefused = 1004;   // the request or save was refused

struct SpreadsheetError : std::runtime_error {
    SpreadsheetError(int number, const QString& description, QString systemReason = {})
        : std::runtime_error(description.toStdString()),
          number(number),
          description(description),
          systemReason(std::move(systemReason)) {}
    int number;
    QString description;
    // A file could not be written for a reason the system names ("No space
    // left on device"); empty otherwise.
    QString systemReason;
};

// True when nothing is at path, or when ui answers Yes to "A file named '…'
// already exists in this location. Do you want to replace it?".
bool mayReplaceFile(Operator& ui, const QString& path);

// The spreadsheet's own constants, with their meaning.
inline constexpr int kXlNone = -4142;
inline constexpr int kXlAutomatic = -4105;
inline constexpr int kXlLeft = -4131;
inline constexpr int kXlRight = -4152;
inline constexpr int kXlCenter = -4108;
inline constexpr int kXlTop = -4160;
inline constexpr int kXlBottom = -4107;
inline constexpr int kXlContinuous = 1;
inline constexpr int kXlThin = 2;
inline constexpr int kXlPatternSolid = 1;
inline constexpr int kXlPortrait = 1;
inline constexpr int kXlPaperLetter = 1;
inline constexpr int kXlDownThenOver = 1;

enum class BorderIndex {
    DiagonalDown = 5,
    DiagonalUp = 6,
    EdgeLeft = 7,
    EdgeTop = 8,
    EdgeBottom = 9,
    EdgeRight = 10,
    InsideVertical = 11,
    InsideHorizontal = 12,
};

// A rectangle of cells, 1-based and inclusive. Whole columns run over every
// row, whole rows over every column.
struct Area {
    int firstRow = 1;
    int firstColumn = 1;
    int lastRow = 1;
    int lastColumn = 1;
    friend bool operator==(const Area&, const Area&) = default;
};
inline constexpr int kMaxRows = 65536;  // the .xls format's limits
inline constexpr int kMaxColumns = 256;

// "A1", "A7:D25", "$A$1:$D$37", "A:A", "B:D", "1:1", "6:8". Anything else
// raises 1004.
Area parseAddress(const QString& address);

struct Border {
    int lineStyle = kXlNone;
    int weight = kXlThin;
    int colorIndex = kXlAutomatic;
    friend bool operator==(const Border&, const Border&) = default;
};

// The resolved format of one cell.
struct CellFormat {
    double fontSize = 10;
    bool bold = false;
    int horizontalAlignment = 1;  // 1: general
    int verticalAlignment = kXlBottom;
    bool wrapText = false;
    int orientation = 0;
    int indentLevel = 0;
    bool shrinkToFit = false;
    bool mergeCells = false;
    QString numberFormat = QStringLiteral("General");
    int interiorColorIndex = kXlNone;
    int interiorPattern = kXlNone;
    Border left, top, bottom, right, diagonalDown, diagonalUp;
    friend bool operator==(const CellFormat&, const CellFormat&) = default;
};

struct PageSetup {
    QString printArea;  // as given, e.g. "$A$1:$D$37"
    QString centerHeader, leftFooter, centerFooter, rightFooter;
    double leftMargin = 54, rightMargin = 54, topMargin = 72, bottomMargin = 72;  // points
    double headerMargin = 21.6, footerMargin = 21.6;
    bool printHeadings = false, printGridlines = false;
    int printComments = kXlNone;
    bool centerHorizontally = false, centerVertically = false;
    int orientation = kXlPortrait;
    bool draft = false;
    int paperSize = kXlPaperLetter;
    int firstPageNumber = kXlAutomatic;
    int order = kXlDownThenOver;
    bool blackAndWhite = false;
    int zoom = 100;
};

class Application;
class SheetModel;
class Workbook;
class Worksheet;
class Range;

// Writable views on part of a range's format, as the spreadsheet names them.
class Interior {
  public:
    void setColorIndex(int index);
    void setPattern(int pattern);

  private:
    friend class Range;
    explicit Interior(Range& range) : range_(range) {}
    Range& range_;
};

class Borders {
  public:
    void setLineStyle(int style);
    void setWeight(int weight);
    void setColorIndex(int index);

  private:
    friend class Range;
    Borders(Range& range, BorderIndex index) : range_(range), index_(index) {}
    Range& range_;
    BorderIndex index_;
};

class Font {
  public:
    void setSize(double points);
    void setBold(bool bold);

  private:
    friend class Range;
    explicit Font(Range& range) : range_(range) {}
    Range& range_;
};

class Range {
  public:
    // Raises 1004 when area lies outside the sheet.
    Range(Worksheet& sheet, Area area);

    const Area& area() const { return area_; }
    Worksheet& worksheet() const { return *sheet_; }

    void setValue(const QString& text);  // every cell of the range shows text
    QString value() const;               // the top-left cell's text
    void select();                       // becomes the application's Selection

    Interior interior() { return Interior(*this); }
    Borders borders(BorderIndex index) { return Borders(*this, index); }
    Font font() { return Font(*this); }

    void setRowHeight(double points);
    void setColumnWidth(double characters);
    void setHorizontalAlignment(int alignment);
    void setVerticalAlignment(int alignment);
    void setWrapText(bool wrap);
    void setOrientation(int degrees);
    void setIndentLevel(int level);
    void setShrinkToFit(bool shrink);
    void setMergeCells(bool merge);
    void setNumberFormat(const QString& format);
    void setHidden(bool hidden);  // whole rows or whole columns

  private:
    friend class Interior;
    friend class Borders;
    friend class Font;
    Worksheet* sheet_;
    Area area_;
};

class Worksheet {
  public:
    Range range(const QString& address);
    Range rows(const QString& address);     // "1:1"
    Range columns(const QString& address);  // "A:A"
    Range cells(int row, int column);
    void addHorizontalPageBreak(const Range& before);  // HPageBreaks.Add Before:=
    PageSetup& pageSetup();                            // counts as one request per call
    const PageSetup& pageSetup() const;

    Application& application() const;
    Workbook& workbook() const;
    QString name() const { return name_; }  // "Sheet1"

    // Reading the sheet back (the writer, tests).
    QString text(int row, int column) const;
    CellFormat format(int row, int column) const;
    std::optional<double> rowHeight(int row) const;  // nullopt: default height
    bool rowHidden(int row) const;
    std::optional<double> columnWidth(int column) const;  // nullopt: default width
    bool columnHidden(int column) const;
    std::vector<int> horizontalPageBreaks() const;  // rows a break stands before, ascending
    // Every cell that holds text or a format differing from the default, by
    // (row, column); the writer walks these.
    std::vector<std::pair<int, int>> usedCells() const;
    int usedRowCount() const;
    int usedColumnCount() const;
    const SheetModel& model() const { return *model_; }  // the writer reads this
    // The model, kept for whoever draws the sheet after its workbook closed.
    std::shared_ptr<const SheetModel> sharedModel() const { return model_; }

  private:
    friend class Workbook;
    friend class Range;
    friend class Interior;
    friend class Borders;
    friend class Font;
    Worksheet(Application& app, Workbook& book, QString name);
    // Raises when the workbook was closed or the application quit.
    void ensureAlive() const;
    // ensureAlive, then counts one request (Application::request).
    void request() const;
    Application* app_;
    Workbook* book_;
    QString name_;
    std::shared_ptr<SheetModel> model_;
};

class Workbook {
  public:
    Worksheet& worksheet(int index);  // Worksheets(1); 9 when out of range
    const Worksheet& worksheet(int index) const;
    int worksheetCount() const;
    // Writes the workbook as .xls: to a temporary file in the target folder,
    // flushed to disk, renamed over the target, folder flushed. An existing
    // file is replaced only after the user answers Yes to "A file named '…'
    // already exists in this location. Do you want to replace it?"; No, and
    // any failure to write, raise 1004 and leave the existing file untouched.
    void saveAs(const QString& path);
    // Never asks anything. With saveChanges, a workbook saved before is
    // written again under its name; closing a closed workbook does nothing.
    void close(bool saveChanges = false);
    bool isOpen() const;

  private:
    friend class Application;
    Workbook(Application& app, int sheetCount);
    void writeFile(const QString& path) const;
    Application* app_;
    std::vector<std::unique_ptr<Worksheet>> sheets_;
    QString savedPath_;
    bool open_ = true;
};

class Application {
  public:
    // Throws 429 when the component cannot be created.
    static std::unique_ptr<Application> create(Operator& ui);
    ~Application();

    int sheetsInNewWorkbook() const;
    void setSheetsInNewWorkbook(int count);  // 1..255
    Workbook& addWorkbook();                 // Workbooks.Add; its first sheet's A1 is selected
    Range selection();  // the last range selected; 91 when its workbook is closed
    double inchesToPoints(double inches) const;
    void quit();
    bool hasQuit() const;

    Operator& ui() const;

    // Test hook: the request `countdown` requests from now (1 = the next one)
    // fails with this error. Every setter, value, select, page setup property,
    // page break, Workbooks.Add and save counts as one request. After Quit
    // every request raises 462; on a closed workbook's sheet, 424.
    void injectFailure(int countdown, int number, const QString& description);
    // Counts a request; raises an injected failure when its turn has come.
    void request();

  private:
    friend class Range;
    explicit Application(Operator& ui);
    Operator* ui_;
    int sheetsInNewWorkbook_ = 3;
    std::vector<std::unique_ptr<Workbook>> workbooks_;
    std::optional<Range> selection_;
    bool quit_ = false;
    int failureCountdown_ = 0;
    int failureNumber_ = 0;
    QString failureDescription_;
};

}  // namespace ksx4::xls
