#pragma once
// Page header and footer sections: the spreadsheet's codes ("&18&UTitle",
// "Page &P of &N", "\n&F") turned into lines of styled text runs.
#include <QString>

#include <vector>

namespace ksx4::pages {

struct TextRun {
    QString text;
    double points = 10;
    bool bold = false;
    bool italic = false;
    bool underline = false;
};
using TextLine = std::vector<TextRun>;

// What the field codes show on one page.
struct PageFields {
    int page = 1;
    int pageCount = 1;
    QString fileName;   // &F
    QString sheetName;  // &A
};

// One section's codes as lines (a line feed starts a new one). &P, &N, &F,
// &A and && give their texts; &B, &I and &U (or &E) switch bold, italic and
// underline; a number after & sets the font size; &"font,style" takes the
// style's bold and italic. Other codes show nothing.
std::vector<TextLine> parseSection(const QString& codes, const PageFields& fields,
                                   double defaultPoints = 10);

}  // namespace ksx4::pages
