#include "table_output.h"

#include <algorithm>

namespace ksx4::ctl {
namespace {

// A CSV field: quoted where it holds a separator, a quote or a line break.
QString csvField(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return u'"' + quoted + u'"';
}

QString tableCell(const QString& text) {
    QString cell = text;
    for (QChar& c : cell) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return cell;
}

}  // namespace

std::optional<Format> formatNamed(const QString& name) {
    if (name == QLatin1String("table")) return Format::Table;
    if (name == QLatin1String("csv")) return Format::Csv;
    if (name == QLatin1String("json")) return Format::Json;
    if (name == QLatin1String("text")) return Format::Text;
    return std::nullopt;
}

void writeJson(std::ostream& out, const QJsonDocument& document) {
    out << document.toJson(QJsonDocument::Indented).toStdString();
}

void writeRows(std::ostream& out, std::vector<QStringList> rows, Format format) {
    const bool csv = format == Format::Csv;
    if (!csv) {
        for (QStringList& row : rows) {
            for (QString& cell : row) cell = tableCell(cell);
        }
    }
    std::vector<qsizetype> widths;
    for (const QStringList& row : rows) {
        widths.resize(std::max(widths.size(), static_cast<size_t>(row.size())));
        for (qsizetype c = 0; c < row.size(); ++c)
            widths[static_cast<size_t>(c)] =
                std::max(widths[static_cast<size_t>(c)], row[c].size());
    }
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (csv) {
                line += (c ? QStringLiteral(",") : QString()) + csvField(row[c]);
            } else {
                line += (c ? QStringLiteral("  ") : QString()) +
                        (c + 1 < row.size() ? row[c].leftJustified(widths[static_cast<size_t>(c)])
                                            : row[c]);
            }
        }
        out << line.toStdString() << '\n';
    }
}

}  // namespace ksx4::ctl
