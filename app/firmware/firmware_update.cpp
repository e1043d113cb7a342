// cmdloadflash_Click: the file, its marker and the confirmation on the first
// pass; then on every pass the tester's kind, the compatibility check and
// the boot load, retried over a new connection.
#include "firmware/firmware_update.h"

#include "core/connection.h"
#include "core/fatal_ending.h"
#include "core/operator.h"
#include "core/pause.h"
#include "core/program_state.h"
#include "firmware/firmware_compatibility.h"
#include "firmware/firmware_marker_scan.h"
#include "firmware/hex_file_choice.h"
#include "platform/link_library.h"
#include "settings/memory_map.h"

#include <QByteArray>
#include <QFile>

#include <exception>

namespace ksx4 {
namespace {

constexpr int kMaxTypeRetries = 100;  // 101 type reads in all
constexpr int kMaxLoadRetries = 5;    // 6 boot loads in all

const QString kRetrying = QStringLiteral("Data transmission error, retrying...");
const QString kUserCanceled = QStringLiteral("User Canceled");

Outcome userCanceled(ProgramState& state) {
    state.link.closeDevice();
    state.ui.setStatus(kUserCanceled);
    pauseMs(state, 500);
    state.ui.setStatus(QStringLiteral("Ready"));
    return Outcome::Cancelled;
}

bool confirmed(ProgramState& state) {
    return state.ui.message(
               QStringLiteral("All data saved in the KSX-4 will be erased.") + kCrLf + kCrLf +
                   QStringLiteral("Are you sure you want to update the firmware?"),
               Buttons::OkCancel, Icon::None, QStringLiteral("Final check!")) == Answer::Ok;
}

Outcome updateFirmware(ProgramState& state) {
    int typeFailures = 0;
    int loadFailures = 0;
    QByteArray ansiPath;  // as the link library opens it
    for (;;) {
        const bool firstPass = typeFailures == 0 && loadFailures == 0;
        openTesterConnection(state, firstPass);
        if (firstPass) {
            state.ui.setStatus(QStringLiteral("Select Hex File"));
            const FileChoice choice = chooseHexFile(state);
            if (choice.kind == FileChoice::Kind::Cancelled) return userCanceled(state);
            if (choice.kind == FileChoice::Kind::Unusable) {
                state.ui.setStatus(QStringLiteral("Failed File Selection"));
                endProgramWithMessage(state, QStringLiteral("Failed File Selection"));
            }
            // A file without a marker leaves the last one seen.
            if (const auto marker = scanFirmwareMarker(choice.path)) {
                state.firmwareMarker = *marker;
            }
            if (!confirmed(state)) return userCanceled(state);
            state.ui.setStatus(
                QStringLiteral("Firmware update will take a few moments. Please wait..."));
            ansiPath = QFile::encodeName(choice.path);
        }

        state.ui.processEvents();
        state.testerType = readTesterType(state);
        if (state.testerType != kKsx4 && state.testerType != kKsx4Pa) {
            ++typeFailures;
            state.ui.setStatus(kRetrying);
            if (typeFailures <= kMaxTypeRetries) continue;
            endProgramWithMessage(state, QStringLiteral("Unable to Read KSX-4 Type from EEPROM"));
        }
        if (!checkFirmwareCompatibility(state)) return Outcome::Refused;

        // Minutes with a real tester: the window stays alive meanwhile.
        int32_t result = OPERATION_FAILURE;
        state.ui.waitFor([&] { result = state.link.bootLoad(ansiPath.constData()); });
        if (result == OPERATION_SUCCESS) {
            closeTesterConnection(state);
            state.ui.setStatus(QStringLiteral("KSX-4 firmware loaded.  Ready..."));
            return Outcome::Done;
        }
        ++loadFailures;
        state.ui.setStatus(kRetrying);
        if (loadFailures <= kMaxLoadRetries) continue;
        endProgramWithMessage(state, QStringLiteral("Unable to Load KSX-4 Hex File"), result);
    }
}

}  // namespace

Outcome cmdloadflash_Click(ProgramState& state) {
    try {
        return updateFirmware(state);
    } catch (const std::exception& error) {
        state.ui.message(QStringLiteral("Command Error: ") + QString::fromUtf8(error.what()));
        return Outcome::Failed;
    }
}

}  // namespace ksx4
