#pragma once
// An archived report's workbook made again from its source bytes, with the
// same template and filling as the transfer, so that the same program
// version writes the same bytes.
#include "archive/archived_report.h"
#include "core/outcome.h"

#include "platform/xls/sheet_model.h"

#include <QString>

#include <memory>
#include <optional>

namespace ksx4 {

struct ProgramState;

// Loads the report's EEPROM and slot bytes into state's images (the tester
// is not reached) and saves the workbook at path; an existing file there is
// replaced only when the operator says yes. Done, or Failed after a message.
Outcome rebuildWorkbook(ProgramState& state, const archive::ArchivedReport& report,
                        const QString& path);

// The report's printed pages drawn again from its bytes and written durably
// as a PDF at path: the same pages as the PDF its transfer wrote, the
// footers naming its workbook's file. An existing file there is replaced
// only when the operator says yes. Done, or Failed after a message.
Outcome rebuildPdf(ProgramState& state, const archive::ArchivedReport& report, const QString& path);

// The report's sheet filled as its workbook holds it, for drawing its
// pages; nullopt after a message. Like rebuildWorkbook, it loads the
// report's bytes into state's images.
struct ArchivedSheet {
    std::shared_ptr<const xls::SheetModel> model;
    QString sheetName;
};
std::optional<ArchivedSheet> archivedSheet(ProgramState& state,
                                           const archive::ArchivedReport& report);

}  // namespace ksx4
