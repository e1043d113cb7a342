#pragma once
// The archive's record of one transferred report, made from the tester's
// images in the program state and the values the filling judged.
#include "archive/archived_report.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <vector>

namespace ksx4 {

struct ProgramState;

// The facts of the report in slot whose workbook was saved at workbookPath
// (hashed as it is on disk) at transferTime, filled in locale with judged.
archive::ArchivedReport archivedReport(ProgramState& state, int slot,
                                       std::vector<archive::JudgedValue> judged,
                                       const QString& workbookPath, const QDateTime& transferTime,
                                       const QLocale& locale);

// The worst judgement among values: "BAD" over "WARN" over "OK".
QString overallVerdict(const std::vector<archive::JudgedValue>& values);

// The tester's serial number as it shows it (without the KSX-4-PA's 32768).
int testerSerialNumber(const ProgramState& state);

}  // namespace ksx4
