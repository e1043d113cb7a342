// cmddownloaddata_Click: read the tester once, check its firmware, write the
// workbooks, and tell the tester to erase its reports only when every stored
// report is safely on disk.
#include "report/transfer.h"
#include "core/connection.h"
#include "core/end_program.h"
#include "core/operator.h"
#include "core/pause.h"
#include "core/program_state.h"
#include "platform/files/paths.h"
#include "platform/link_library.h"
#include "platform/xls/spreadsheet.h"
#include "settings/memory_map.h"

namespace ksx4 {
namespace {

constexpr int kMaxTypeRetries = 100;  // 101 type reads in all
constexpr int kMaxReadRetries = 10;   // 11 EEPROM and flash reads together

const QString kRetrying = QStringLiteral("Data transmission error, retrying...");
const QString kTransferredAll = QStringLiteral("Transferred all reports");
const QString kReady = QStringLiteral(".  Ready...");

[[noreturn]] void endAfterMessage(ProgramState& state, const QString& text) {
    state.link.closeDevice();
    state.ui.message(text, Buttons::Ok, Icon::Critical);
    throw EndProgram{};
}

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
            endAfterMessage(state, QStringLiteral("Unable to Read KSX-4 Type from EEPROM") + kCrLf +
                                       kCrLf + QStringLiteral("Exiting Program"));
        }

        int32_t result =
            state.link.readEEMemory(0, eeprom::kImageReadLength, state.eepromImage.data());
        if (result == 0) {
            result =
                state.link.readFlashMemory(0, flash::kImageReadLength, state.flashImage.data());
        }
        if (result == 0) return;
        ++readFailures;
        state.ui.setStatus(kRetrying);
        if (readFailures <= kMaxReadRetries) continue;
        endAfterMessage(state, QStringLiteral("Unable to Read KSX-4") + kCrLf + kCrLf +
                                   returnCodeName(result) + kCrLf + kCrLf +
                                   QStringLiteral("Exiting Program"));
    }
}

void writeEraseIndicator(ProgramState& state) {
    const EncodedWord word = encodeWord(state.ui, QString::number(eeprom::kEraseAllValue));
    const int32_t result = state.link.writeEEMemory(
        static_cast<uint32_t>(eeprom::kEraseIndicator.address),
        static_cast<uint32_t>(eeprom::kEraseIndicator.length), word.bytes.data());
    if (result != 0) {
        endAfterMessage(state, QStringLiteral("Unable to write KSX-4 EEPROM") + kCrLf + kCrLf +
                                   returnCodeName(result) + kCrLf + kCrLf +
                                   QStringLiteral("Exiting program"));
    }
}

// A spreadsheet failure after the one recovery from a save refusal.
void handleFailureAfterRecovery(ProgramState& state, const xls::SpreadsheetError& error) {
    if (error.number == xls::kErrRequestRefused) {
        state.ui.message(QStringLiteral("If overwriting a file, the file must be closed ") + kCrLf +
                         QStringLiteral("before transferring a report.") + kCrLf + kCrLf +
                         QStringLiteral("Transferred %1 reports.").arg(state.transferredCount) +
                         kCrLf + kCrLf +
                         QStringLiteral("Reports will not be erased in the the KSX-4."));
        state.ui.setStatus(QStringLiteral("Report transfer cancelled.  Ready..."));
        endReportSpreadsheetWork(state);
        return;
    }
    state.ui.message(QStringLiteral("Command Error: ") + error.description +
                     QStringLiteral(" Error Number: ") + QString::number(error.number));
}

}  // namespace

QString browseForFolder(ProgramState& state, const QString& title) {
    return state.ui.browseForFolder(title);
}

void cmddownloaddata_Click(ProgramState& state) {
    readTester(state);
    if (!checkFirmwareMarker(state)) return;

    state.ui.setStatus(QStringLiteral("Waiting for folder selection"));
    QString folder = browseForFolder(
        state, QStringLiteral("Select folder for reports.  ") +
                   QStringLiteral("Reports stored in the KSX-4 will be erased after they are "
                                  "moved to the selected folder."));
    if (folder.isEmpty()) {
        state.ui.setStatus(QStringLiteral("Report transfer cancelled.  Ready..."));
        return;
    }
    folder = withTrailingSeparator(folder);

    QString outcome;
    try {
        outcome = writeReportFiles(state, folder);
    } catch (const xls::SpreadsheetError& error) {
        handleFailureAfterRecovery(state, error);
        return;
    }
    state.ui.setStatus(outcome);

    // Only our own success text counts: a returned error description could
    // quote a path or name that happens to contain the same words.
    if (outcome == kTransferredAll && state.transferredCount >= 1) writeEraseIndicator(state);
    closeTesterConnection(state);
    state.ui.setStatus(outcome + kReady);
}

}  // namespace ksx4
