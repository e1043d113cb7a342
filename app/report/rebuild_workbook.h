#pragma once
// An archived report's workbook made again from its source bytes, with the
// same template and filling as the transfer, so that the same program
// version writes the same bytes.
#include "archive/archived_report.h"
#include "core/outcome.h"

#include <QString>

namespace ksx4 {

struct ProgramState;

// Loads the report's EEPROM and slot bytes into state's images (the tester
// is not reached) and saves the workbook at path; an existing file there is
// replaced only when the operator says yes. Done, or Failed after a message.
Outcome rebuildWorkbook(ProgramState& state, const archive::ArchivedReport& report,
                        const QString& path);

}  // namespace ksx4
