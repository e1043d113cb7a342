// writeReportFiles: one workbook per stored report, named after the
// location's report name, and the endings of the spreadsheet work.
#include "core/clock.h"
#include "core/operator.h"
#include "core/program_state.h"
#include "platform/xls/spreadsheet.h"
#include "report/fill_report.h"
#include "report/flash_fields.h"
#include "report/report_file_name.h"
#include "report/report_pdf.h"
#include "report/report_record.h"
#include "report/report_template.h"
#include "report/transfer.h"
#include "report/transfer_session.h"
#include "settings/memory_map.h"
#include "settings/tester_texts.h"

#include <QFileInfo>
#include <QSet>

#include <chrono>
#include <optional>

namespace ksx4 {
namespace {

constexpr int kSavedTimeOffset = 20;

const ReportFilesOutcome kFailedToWriteReport{Outcome::Failed,
                                              QStringLiteral("Failed to Write Report")};
const ReportFilesOutcome kTransferCancelled{Outcome::Cancelled,
                                            QStringLiteral("Report transfer cancelled")};

class ReportFilesWriter {
  public:
    ReportFilesWriter(ProgramState& state, TransferSession& session, QString folder,
                      QDateTime transferMoment)
        : state_(state),
          session_(session),
          ui_(state.ui),
          folder_(std::move(folder)),
          transferMoment_(std::move(transferMoment)),
          transferTime_(fileNameDateText(transferMoment_)) {}

    ReportFilesOutcome run() {
        for (int slot = 1; slot <= flash::kSlotCount; ++slot) {
            if (!slotHoldsReport(state_, slot)) continue;
            ui_.setStatus(QStringLiteral("Building location %1 Excel report file").arg(slot));
            ui_.processEvents();
            if (!slotChecksumGood(state_, slot)) {
                ui_.message(QStringLiteral("Failed Checksums Verification"), Buttons::Ok,
                            Icon::Critical);
                endSpreadsheetWork();
                return kFailedToWriteReport;
            }
            std::optional<ReportFilesOutcome> failure;
            try {
                failure = writeSlot(slot);
            } catch (const xls::SpreadsheetError& error) {
                // After the one recovery from a save refusal, the transfer
                // operation handles every further failure.
                if (recovered_) throw;
                ui_.message(QStringLiteral("Write Report Error: ") + error.description +
                            QStringLiteral(" Error Number: ") + QString::number(error.number));
                endSpreadsheetWork();
                return {Outcome::Failed, error.description};
            }
            if (failure) return *failure;
        }
        // The component holds nothing worth keeping once every workbook is
        // on disk: quit and release it here too, not only after failures.
        endSpreadsheetWork();
        return {Outcome::Done, session_.transferredCount >= 1
                                   ? QStringLiteral("Transferred all reports")
                                   : QStringLiteral("No reports found in KSX-4")};
    }

  private:
    // Builds, fills and saves the workbook of one slot. An outcome text when
    // the transfer ends here (the spreadsheet work has then been ended).
    std::optional<ReportFilesOutcome> writeSlot(int slot) {
        const int base = flash::slotBase(slot);
        openReportWorkbook(session_);
        session_.deviceEntryCount = countDeviceEntries(state_, slot);
        const QString locationName = storedLocationName(state_, base);
        if (!makeTemplate(state_, session_, session_.deviceEntryCount, locationName)) {
            endSpreadsheetWork();
            return failedToWriteReport();
        }
        const QLocale locale = QLocale::system();
        std::vector<archive::JudgedValue> judged;
        if (!fillReport(state_, session_, slot, base, session_.deviceEntryCount, locale, &judged)) {
            ui_.message(QStringLiteral("Failed Building Report Data"), Buttons::Ok, Icon::Critical);
            endSpreadsheetWork();
            return failedToWriteReport();
        }
        const QString reportName =
            safeReportName(trimBlanks(readEepromField(state_, eeprom::reportName(slot))), slot);

        QString path;
        if (state_.testerType == kKsx4Pa) {
            path = folder_ + reportName + QLatin1Char(' ') + transferTime_ + kReportExtension;
        } else if (const auto saved = flashTimeStamp(state_, base + kSavedTimeOffset)) {
            path = folder_ + reportName + QLatin1Char(' ') + fileNameDateText(*saved) +
                   kReportExtension;
        } else {
            ui_.setStatus(QStringLiteral("Waiting for file name selection"));
            const FileChoice chosen = chooseReportFileName(state_, reportName, folder_);
            if (auto ending = endingForChoice(chosen)) return ending;
            path = chosen.path;
        }
        if (auto ending = save(path)) return ending;

        session_.reportSheet = nullptr;
        session_.reportWorkbook->close(false);
        session_.reportWorkbook = nullptr;
        ++session_.transferredCount;
        session_.copies.keep(
            ui_, archivedReport(state_, slot, std::move(judged), path, transferMoment_, locale));
        return std::nullopt;
    }

    // Saves under path, which then names the file written; a refusal (for
    // example the user declined to replace an existing file, or the folder
    // cannot be written) is answered once per transfer with the file dialog.
    std::optional<ReportFilesOutcome> save(QString& path) {
        try {
            saveOnce(path);
            return std::nullopt;
        } catch (const xls::SpreadsheetError& error) {
            if (error.number != xls::kErrRequestRefused || recovered_) throw;
        }
        recovered_ = true;
        const FileChoice chosen = chooseReportFileName(state_, reportNameOfPath(path), folder_);
        if (auto ending = endingForChoice(chosen)) return ending;
        saveOnce(chosen.path);
        path = chosen.path;
        return std::nullopt;
    }

    // Two locations named alike give the same file name. Replacing a
    // workbook of this very transfer would lose that report once the tester
    // erases its reports, so such a save is refused without asking.
    void saveOnce(const QString& path) {
        const QFileInfo target(path);
        // Without case: on a file system that ignores it (Windows, a FAT
        // memory stick) "TANK" names the workbook "Tank" was saved as.
        if (target.exists() && writtenFiles_.contains(target.canonicalFilePath().toCaseFolded())) {
            throw xls::SpreadsheetError(
                xls::kErrRequestRefused,
                QStringLiteral("'%1' holds a report of this transfer.").arg(path));
        }
        session_.reportWorkbook->saveAs(path);
        writtenFiles_.insert(QFileInfo(path).canonicalFilePath().toCaseFolded());
        if (session_.alsoSavePdf) writeReportPdf(*session_.reportSheet, path);
    }

    // Where the transfer ends for a choice without a path; nothing for a path.
    std::optional<ReportFilesOutcome> endingForChoice(const FileChoice& chosen) {
        if (chosen.kind == FileChoice::Kind::Unusable) {
            ui_.message(QStringLiteral("Failed File Selection"), Buttons::Ok, Icon::Critical);
            endSpreadsheetWork();
            return kFailedToWriteReport;
        }
        if (chosen.kind == FileChoice::Kind::Cancelled) {
            ui_.message(QStringLiteral("Report transfer cancelled.  Transferred %1 reports.")
                            .arg(session_.transferredCount) +
                        kCrLf + QStringLiteral("Reports will not be erased in the the KSX-4."));
            endSpreadsheetWork();
            return kTransferCancelled;
        }
        return std::nullopt;
    }

    ReportFilesOutcome failedToWriteReport() const {
        return {Outcome::Failed, QStringLiteral("Failed to write report.  Transferred %1 reports")
                                     .arg(session_.transferredCount)};
    }

    void endSpreadsheetWork() { endReportSpreadsheetWork(session_); }

    ProgramState& state_;
    TransferSession& session_;
    Operator& ui_;
    const QString folder_;
    const QDateTime transferMoment_;
    const QString transferTime_;
    bool recovered_ = false;
    QSet<QString> writtenFiles_;  // canonical paths saved in this transfer, case folded
};

}  // namespace

void openReportWorkbook(TransferSession& session) {
    xls::Application& app = *session.excelApp;
    const int sheetsBefore = app.sheetsInNewWorkbook();
    app.setSheetsInNewWorkbook(1);
    xls::Workbook& workbook = app.addWorkbook();
    session.reportWorkbook = &workbook;
    app.setSheetsInNewWorkbook(sheetsBefore);
    session.reportSheet = &workbook.worksheet(1);
}

void endReportSpreadsheetWork(TransferSession& session) {
    session.reportSheet = nullptr;
    try {
        if (session.reportWorkbook && session.reportWorkbook->isOpen())
            session.reportWorkbook->close(false);
    } catch (const xls::SpreadsheetError&) {
        // Closing without saving changes nothing on disk; go on quitting.
    }
    session.reportWorkbook = nullptr;
    if (session.excelApp) {
        try {
            session.excelApp->quit();
        } catch (const xls::SpreadsheetError&) {
        }
        session.excelApp.reset();
    }
}

ReportFilesOutcome writeReportFiles(ProgramState& state, TransferSession& session,
                                    const QString& folder) {
    const auto wallTime = std::chrono::duration_cast<std::chrono::milliseconds>(
        state.clock.wallTime().time_since_epoch());
    const QDateTime transferMoment = QDateTime::fromMSecsSinceEpoch(wallTime.count());
    session.reportSheet = nullptr;
    session.reportWorkbook = nullptr;
    try {
        session.excelApp = xls::Application::create(state.ui);
    } catch (const xls::SpreadsheetError& error) {
        state.ui.message(QStringLiteral("Write Report Error: ") + error.description +
                         QStringLiteral("  Ensure that Excel is installed."));
        return {Outcome::Failed, error.description};
    }
    session.transferredCount = 0;
    return ReportFilesWriter(state, session, folder, transferMoment).run();
}

}  // namespace ksx4
