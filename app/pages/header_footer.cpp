#include "pages/header_footer.h"

namespace ksx4::pages {
namespace {

class SectionParser {
  public:
    SectionParser(const QString& codes, const PageFields& fields, double defaultPoints)
        : codes_(codes), fields_(fields) {
        style_.points = defaultPoints;
        lines_.emplace_back();
    }

    std::vector<TextLine> parse() {
        while (at_ < codes_.size()) {
            const QChar ch = codes_[at_++];
            if (ch == u'\n') {
                flush();
                lines_.emplace_back();
            } else if (ch == u'&' && at_ < codes_.size()) {
                code();
            } else if (ch != u'\r' && ch != u'&') {
                pending_ += ch;
            }
        }
        flush();
        return std::move(lines_);
    }

  private:
    void code() {
        const QChar ch = codes_[at_];
        if (ch.isDigit()) {
            int size = 0;
            while (at_ < codes_.size() && codes_[at_].isDigit() && size < 1000)
                size = size * 10 + codes_[at_++].digitValue();
            restyle([&](TextRun& s) { s.points = std::max(1, size); });
            return;
        }
        ++at_;
        switch (ch.toUpper().unicode()) {
            case u'&':
                pending_ += u'&';
                break;
            case u'P':
                pending_ += QString::number(fields_.page);
                break;
            case u'N':
                pending_ += QString::number(fields_.pageCount);
                break;
            case u'F':
                pending_ += fields_.fileName;
                break;
            case u'A':
                pending_ += fields_.sheetName;
                break;
            case u'B':
                restyle([](TextRun& s) { s.bold = !s.bold; });
                break;
            case u'I':
                restyle([](TextRun& s) { s.italic = !s.italic; });
                break;
            case u'U':
            case u'E':
                restyle([](TextRun& s) { s.underline = !s.underline; });
                break;
            case u'"':
                fontStyle();
                break;
            default:
                break;  // dates, times, paths, pictures, strike-through: not shown
        }
    }

    // &"Arial,Bold Italic": the family is the printer's font; only the
    // style words matter here.
    void fontStyle() {
        const qsizetype end = codes_.indexOf(u'"', at_);
        const QString spec = codes_.mid(at_, end < 0 ? -1 : end - at_);
        at_ = end < 0 ? codes_.size() : end + 1;
        const QString style = spec.section(u',', 1).toLower();
        restyle([&](TextRun& s) {
            s.bold = style.contains(QLatin1String("bold"));
            s.italic = style.contains(QLatin1String("italic"));
        });
    }

    template <typename Change>
    void restyle(Change&& change) {
        flush();
        change(style_);
    }

    void flush() {
        if (pending_.isEmpty()) return;
        TextRun run = style_;
        run.text = pending_;
        lines_.back().push_back(std::move(run));
        pending_.clear();
    }

    const QString& codes_;
    const PageFields& fields_;
    qsizetype at_ = 0;
    TextRun style_;
    QString pending_;
    std::vector<TextLine> lines_;
};

}  // namespace

std::vector<TextLine> parseSection(const QString& codes, const PageFields& fields,
                                   double defaultPoints) {
    return SectionParser(codes, fields, defaultPoints).parse();
}

}  // namespace ksx4::pages
