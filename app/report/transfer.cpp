// cmddownloaddata_Click: read the tester once, check its firmware, write the
// workbooks, and tell the tester to erase its reports only when every stored
// report is safely on disk.
#include "report/transfer.h"
#include "core/connection.h"
#include "core/fatal_ending.h"
#include "core/operator.h"
#include "core/pause.h"
#include "core/program_state.h"
#include "platform/files/paths.h"
#include "platform/link_library.h"
#include "platform/xls/spreadsheet.h"
#include "report/transfer_session.h"
#include "settings/memory_map.h"

namespace ksx4 {
namespace {

constexpr int kMaxTypeRetries = 100;  // 101 type reads in all
constexpr int kMaxReadRetries = 10;   // 11 EEPROM and flash reads together

const QString kRetrying = QStringLiteral("Data transmission error, retrying...");
const QString kReady = QStringLiteral(".  Ready...");

// Opens the connection and copies the tester's type, EEPROM and flash into
// the program, retrying from the opening pass.
void readTester(ProgramState& state) {
    int readFailures = 0;
    int typeFailures = 0;
    for (;;) {
        const bool firstPass = readFailures == 0 && typeFailures == 0;
        openTesterConnection(state, firstPass);
        if (firstPass) {
            state.ui.setStatus(QStringLiteral("Transfer will take a few moments.  Please wait..."));
            pauseMs(state, 200);
        }

        state.testerType = readTesterType(state);
        if (state.testerType != kKsx4 && state.testerType != kKsx4Pa) {
            ++typeFailures;
            state.ui.setStatus(kRetrying);
            if (typeFailures <= kMaxTypeRetries) continue;
            endProgramWithMessage(state, QStringLiteral("Unable to Read KSX-4 Type from EEPROM"));
        }

        int32_t result =
            state.link.readEEMemory(0, eeprom::kImageReadLength, state.eepromImage.data());
        if (result == 0) {
            // Seconds with a slow tester: the window stays alive, and an exit
            // asked for meanwhile ends the transfer right after the read.
            state.ui.waitFor([&] {
                result =
                    state.link.readFlashMemory(0, flash::kImageReadLength, state.flashImage.data());
            });
        }
        if (result == 0) return;
        ++readFailures;
        state.ui.setStatus(kRetrying);
        if (readFailures <= kMaxReadRetries) continue;
        endProgramWithMessage(state, QStringLiteral("Unable to Read KSX-4"), result);
    }
}

void writeEraseIndicator(ProgramState& state) {
    const EncodedWord word = encodeWord(state.ui, QString::number(eeprom::kEraseAllValue));
    const int32_t result = state.link.writeEEMemory(
        static_cast<uint32_t>(eeprom::kEraseIndicator.address),
        static_cast<uint32_t>(eeprom::kEraseIndicator.length), word.bytes.data());
    if (result != 0) {
        endProgramWithMessage(state, QStringLiteral("Unable to write KSX-4 EEPROM"), result,
                              QStringLiteral("Exiting program"));
    }
}

// A spreadsheet failure after the one recovery from a save refusal.
Outcome handleFailureAfterRecovery(ProgramState& state, TransferSession& session,
                                   const xls::SpreadsheetError& error) {
    if (error.number == xls::kErrRequestRefused) {
        // A full disk or a read-only folder is named as such, so the user
        // does not go looking for an open file.
        const QString systemReason =
            error.systemReason.isEmpty() ? QString() : kCrLf + error.systemReason;
        state.ui.message(
            QStringLiteral("If overwriting a file, the file must be closed ") + kCrLf +
            QStringLiteral("before transferring a report.") + systemReason + kCrLf + kCrLf +
            QStringLiteral("Transferred %1 reports.").arg(session.transferredCount) + kCrLf +
            kCrLf + QStringLiteral("Reports will not be erased in the the KSX-4."));
        state.ui.setStatus(QStringLiteral("Report transfer cancelled.  Ready..."));
        endReportSpreadsheetWork(session);
        return Outcome::Cancelled;
    }
    state.ui.message(QStringLiteral("Command Error: ") + error.description +
                     QStringLiteral(" Error Number: ") + QString::number(error.number));
    return Outcome::Failed;
}

}  // namespace

QString browseForFolder(ProgramState& state, const QString& title) {
    return state.ui.browseForFolder(title);
}

Outcome cmddownloaddata_Click(ProgramState& state, const TransferOptions& options) {
    TransferSession session;
    session.copies = ReportCopies::forLocation(
        options.archive ? *options.archive : archive::resolveArchiveLocation(std::nullopt));
    session.alsoSavePdf = options.alsoSavePdf;
    return cmddownloaddata_Click(state, session);
}

Outcome cmddownloaddata_Click(ProgramState& state, TransferSession& session) {
    readTester(state);
    if (!checkFirmwareMarker(state)) return Outcome::Refused;

    state.ui.setStatus(QStringLiteral("Waiting for folder selection"));
    QString folder = browseForFolder(
        state, QStringLiteral("Select folder for reports.  ") +
                   QStringLiteral("Reports stored in the KSX-4 will be erased after they are "
                                  "moved to the selected folder."));
    if (folder.isEmpty()) {
        state.ui.setStatus(QStringLiteral("Report transfer cancelled.  Ready..."));
        return Outcome::Cancelled;
    }
    folder = withTrailingSeparator(folder);

    ReportFilesOutcome written{Outcome::Failed, {}};
    try {
        written = writeReportFiles(state, session, folder);
    } catch (const xls::SpreadsheetError& error) {
        return handleFailureAfterRecovery(state, session, error);
    }
    state.ui.setStatus(written.status);

    // Every report is in its workbook; the erase waits for its other copies.
    const bool everyCopyKept = session.copies.allKept();
    if (written.outcome == Outcome::Done && session.transferredCount >= 1 && everyCopyKept) {
        writeEraseIndicator(state);
    }
    closeTesterConnection(state);
    state.ui.setStatus(written.status + kReady);
    session.copies.tellOutcome(state.ui);
    return everyCopyKept ? written.outcome : Outcome::Failed;
}

}  // namespace ksx4
