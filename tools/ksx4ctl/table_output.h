#pragma once
// What the archive commands print: rows of texts as a table padded to each
// column's width or as CSV, and JSON documents.
#include <QJsonDocument>
#include <QString>
#include <QStringList>

#include <optional>
#include <ostream>
#include <vector>

namespace ksx4::ctl {

// The --format an archive command answers in.
enum class Format { Table, Csv, Json, Text };

// The format a --format value names; none for a name not known.
std::optional<Format> formatNamed(const QString& name);

// A table keeps each row on one line: a name from the tester may hold a
// line break, a tab or another control character, shown there as a space
// (CSV quotes it and keeps it as it is).
// Csv writes CSV; every other format a table.
void writeRows(std::ostream& out, std::vector<QStringList> rows, Format format);

void writeJson(std::ostream& out, const QJsonDocument& document);

}  // namespace ksx4::ctl
