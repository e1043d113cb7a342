#include "report/rebuild_workbook.h"

#include "core/operator.h"
#include "core/program_state.h"
#include "platform/xls/spreadsheet.h"
#include "report/fill_report.h"
#include "report/flash_fields.h"
#include "report/record_layout.h"
#include "report/report_pdf.h"
#include "report/report_template.h"
#include "report/transfer.h"
#include "report/transfer_session.h"
#include "settings/memory_map.h"
#include "settings/tester_texts.h"

#include <QFileInfo>

#include <algorithm>
#include <functional>

namespace ksx4 {
namespace {

Outcome failed(ProgramState& state, const QString& reason) {
    state.ui.message(QStringLiteral("The workbook cannot be made again: ") + reason, Buttons::Ok,
                     Icon::Critical);
    return Outcome::Failed;
}

// Fills the report's workbook as the transfer did and hands it to use
// while it is open.
Outcome withFilledReport(ProgramState& state, const archive::ArchivedReport& report,
                         const std::function<void(TransferSession&)>& use) {
    const archive::ReportSummary& s = report.summary;
    // Archive contents are untrusted like any file: check before use.
    if (report.slotBytes.size() != flash::kSlotSize || report.eepromBytes.size() != eeprom::kSize ||
        s.slot < 1 || s.slot > flash::kSlotCount || (s.testerKind != 0 && s.testerKind != 1)) {
        return failed(state, QStringLiteral("the archived report is damaged"));
    }
    state.testerType = s.testerKind == 1 ? kKsx4Pa : kKsx4;
    state.firmwareMarker = static_cast<uint16_t>(report.firmwareMarker);
    std::copy(report.eepromBytes.begin(), report.eepromBytes.end(), state.eepromImage.begin());
    state.flashImage.fill(0);
    const int base = flash::slotBase(s.slot);
    std::copy(report.slotBytes.begin(), report.slotBytes.end(), state.flashImage.begin() + base);

    TransferSession session;
    try {
        session.excelApp = xls::Application::create(state.ui);
        openReportWorkbook(session);
        const uint16_t devices = countDeviceEntries(state, s.slot);
        if (!makeTemplate(state, session, devices, storedLocationName(state, base)) ||
            !fillReport(state, session, s.slot, base, devices, QLocale(report.localeName))) {
            endReportSpreadsheetWork(session);
            return failed(state, QStringLiteral("the archived report does not fill a workbook"));
        }
        use(session);
    } catch (const xls::SpreadsheetError& error) {
        endReportSpreadsheetWork(session);
        return failed(state, error.description);
    }
    endReportSpreadsheetWork(session);
    return Outcome::Done;
}

}  // namespace

Outcome rebuildWorkbook(ProgramState& state, const archive::ArchivedReport& report,
                        const QString& path) {
    return withFilledReport(
        state, report, [&path](TransferSession& session) { session.reportWorkbook->saveAs(path); });
}

std::optional<ArchivedSheet> archivedSheet(ProgramState& state,
                                           const archive::ArchivedReport& report) {
    std::optional<ArchivedSheet> sheet;
    withFilledReport(state, report, [&sheet](TransferSession& session) {
        sheet = ArchivedSheet{session.reportSheet->sharedModel(), session.reportSheet->name()};
    });
    return sheet;
}

Outcome rebuildPdf(ProgramState& state, const archive::ArchivedReport& report,
                   const QString& path) {
    const std::optional<ArchivedSheet> sheet = archivedSheet(state, report);
    if (!sheet) return Outcome::Failed;
    auto notSaved = [&state](const QString& reason) {
        state.ui.message(QStringLiteral("The PDF was not saved: ") + reason, Buttons::Ok,
                         Icon::Critical);
        return Outcome::Failed;
    };
    if (!xls::mayReplaceFile(state.ui, path))
        return notSaved(QStringLiteral("'%1' exists and was not replaced.").arg(path));
    const QByteArray pdf = reportPdf(*sheet->model, sheet->sheetName,
                                     QFileInfo(report.summary.workbookPath).fileName());
    if (const auto failure = writePdfFile(path, pdf))
        return notSaved(QStringLiteral("Cannot save '%1': %2").arg(path, failure->reason));
    return Outcome::Done;
}

}  // namespace ksx4
