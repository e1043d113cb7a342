#pragma once
// How report workbooks are named: the report name made safe for a file
// name, and the date form used in file names.
#include <QDateTime>
#include <QString>

namespace ksx4 {

inline const QString kReportExtension = QStringLiteral(".xls");

// "2005-03-15 14-07": seconds left out, not rounded.
QString fileNameDateText(const QDateTime& moment);

// The report name comes from the tester's EEPROM and may hold anything. The
// nine characters the names editor forbids, control characters and path
// separators become "_"; a name that is then empty, "." or ".." becomes
// the location's default name, and the leading dots of any other name
// become "_", so that no report file is hidden. The result never leaves the
// folder it is put in.
QString safeReportName(const QString& name, int location);

// The file name of path without its folder and without a final ".xls" (any
// case): the name a save refusal proposes again.
QString reportNameOfPath(const QString& path);

}  // namespace ksx4
