#pragma once
// Rows of texts as the archive commands print them: a table padded to each
// column's width, or CSV.
#include <QString>
#include <QStringList>

#include <ostream>
#include <vector>

namespace ksx4::ctl {

enum class RowsAs { Table, Csv };

// A table keeps each row on one line: a name from the tester may hold a
// line break, a tab or another control character, shown there as a space
// (CSV quotes it and keeps it as it is).
void writeRows(std::ostream& out, std::vector<QStringList> rows, RowsAs as);

}  // namespace ksx4::ctl
