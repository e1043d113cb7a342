#include "engineering/noise_calibration.h"

#include "core/connection.h"
#include "core/fatal_ending.h"
#include "core/main_window_form.h"
#include "core/operator.h"
#include "core/pause.h"
#include "core/program_state.h"
#include "engineering/command_error.h"
#include "engineering/default_data.h"
#include "engineering/gpib_instrument.h"
#include "engineering/noise_segments.h"
#include "engineering/noise_signals.h"
#include "engineering/typed_number.h"
#include "platform/link_library.h"
#include "settings/memory_map.h"

#include <array>
#include <initializer_list>

namespace ksx4 {
namespace {

using noise::Band;
using noise::BandSegments;

const QString kTitle = QStringLiteral("KSX-4 Calibration");
constexpr std::array<const Band*, 3> kBands{&noise::kLowBand, &noise::kFieldbusBand,
                                            &noise::kHighBand};
constexpr int kOpenAttempts = 501;
constexpr std::size_t kRowBytes = 6;

// What calNoise measures and sendCalData writes.
struct NoiseCalibration {
    std::array<double, noise::kSteps> readings{};
    std::array<BandSegments, 3> bands{};
    double temperature = 0;
};

class CalNoise {
  public:
    CalNoise(ProgramState& state, GpibInstrument& instrument, NoiseCalibration& run)
        : state_(state), ui_(state.ui), instrument_(instrument), run_(run) {}

    // false when the operator cancelled or a value is too large.
    bool operator()() {
        run_ = {};
        instrument_.writeInstrument(noise::noiseOnlyCommand());
        ui_.setStatus(QStringLiteral("Setting noise only mode..."));
        pauseMs(state_, 2000);
        if (!okCancel(QStringLiteral(
                "Push KSX-4 SEL button to get calibration screen and then select OK"))) {
            return false;
        }
        if (!askTemperature()) return false;
        for (std::size_t b = 0; b < kBands.size(); ++b) {
            if (!measureBand(*kBands[b])) return false;
            const noise::SegmentsResult computed =
                noise::computeSegments(run_.readings, *kBands[b]);
            if (computed.tooLarge) {
                ui_.message(QStringLiteral("Calculated calibration value too large.") + kCrLf +
                            kCrLf + *computed.tooLarge);
                return false;
            }
            run_.bands[b] = computed.segments;
        }
        ui_.setStatus(QStringLiteral("Noise calibration data written to KSX-4"));
        return true;
    }

  private:
    bool okCancel(const QString& text) {
        return ui_.message(text, Buttons::OkCancel, Icon::None, kTitle) == Answer::Ok;
    }

    // Asks until a number other than 0 is typed (with mustBeStorable, one
    // that also fits a tester word); false when the operator cancels the
    // question that follows a refused number.
    bool askNumber(const QString& prompt, const QString& again, double& number,
                   bool mustBeStorable = false) {
        for (;;) {
            number = typedNumber(ui_.input(prompt, {}, {}));
            std::optional<QString> refusal;
            if (number == 0) {
                refusal = again;
            } else if (const auto reason = unstorableWordReason(number); mustBeStorable && reason) {
                refusal = *reason + kCrLf + again;
            }
            if (!refusal) return true;
            if (!okCancel(*refusal)) return false;
        }
    }

    // Checked here rather than when it is written, after every reading.
    bool askTemperature() {
        return askNumber(
            QStringLiteral("Enter KSX-4 temperature shown on second row of KSX-4 screen "
                           "following the + sign."),
            QStringLiteral(
                "Enter temperature shown on KSX-4 screen, select OK to continue or CANCEL to exit"),
            run_.temperature, true);
    }

    bool askToReset(const Band& band) {
        return okCancel(QStringLiteral("Push KSX-4 SEL button to reset number ") +
                        QLatin1Char(band.number) +
                        QStringLiteral(" on KSX-4 screen, then select OK"));
    }

    // The five readings of a band; a reading not above the one before
    // measures the lower step again after Retry.
    bool measureBand(const Band& band) {
        instrument_.writeInstrument(noise::kOutputOff);
        if (!askToReset(band)) return false;
        const QString prompt = QStringLiteral("Enter number ") + QLatin1Char(band.number) +
                               QStringLiteral(" from KSX-4 screen");
        for (int step = 0; step < noise::kSteps;) {
            instrument_.writeInstrument(noise::stepCommand(band, step));
            ui_.setStatus(QStringLiteral("KSX-4 calibration, waiting for noise peak..."));
            pauseMs(state_, step * 4000 + 500);
            ui_.setStatus(QStringLiteral("KSX-4 noise calibration, entering peak data..."));
            ui_.beep();
            double& reading = run_.readings[static_cast<std::size_t>(step)];
            if (!askNumber(prompt,
                           QStringLiteral("Enter numbers from KSX-4 screen, select OK to continue "
                                          "or CANCEL to exit"),
                           reading)) {
                return false;
            }
            if (step > 0 && run_.readings[static_cast<std::size_t>(step - 1)] >= reading) {
                const Answer retry = ui_.message(
                    QStringLiteral("Number entered is less than or equal to preceding number "
                                   "entered. If this continues to happen after retrying, it is "
                                   "a possible KSX-4 problem"),
                    Buttons::RetryCancel, Icon::None, kTitle);
                if (retry != Answer::Retry) return false;
                if (!askToReset(band)) return false;
                --step;
                continue;
            }
            ++step;
        }
        return true;
    }

    ProgramState& state_;
    Operator& ui_;
    GpibInstrument& instrument_;
    NoiseCalibration& run_;
};

// A failed write: the connection is closed and the box shown; the caller
// then ends the run.
bool writeFailed(ProgramState& state, const QString& text, int32_t code) {
    state.link.closeDevice();
    state.ui.message(text + kCrLf + kCrLf + returnCodeName(code) + kCrLf + kCrLf + kExitingProgram,
                     Buttons::Ok, Icon::Critical);
    return false;
}

bool writeBytes(ProgramState& state, int address, const uint8_t* bytes, std::size_t count,
                const QString& failureText) {
    const int32_t result = state.link.writeEEMemory(static_cast<uint32_t>(address),
                                                    static_cast<uint32_t>(count), bytes);
    return result == OPERATION_SUCCESS || writeFailed(state, failureText, result);
}

// The four rows of a band, each slope, offset and range end as words; false
// (after the messages) when a value cannot be encoded. The last message names
// the value, so that the technician knows which readings to take again.
bool encodeBand(Operator& ui, const Band& band, const BandSegments& segments,
                std::array<std::array<uint8_t, kRowBytes>, noise::kSegments>& rows) {
    static constexpr std::array<const char*, 3> kValueNames{"slope", "offset", "range end"};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::array<double, 3> values{segments.slope[i], segments.offset[i],
                                           segments.rangeEnd[i]};
        for (std::size_t v = 0; v < values.size(); ++v) {
            const EncodedWord word = encodeWord(ui, wholeNumberText(values[v]));
            if (!word.ok) {
                ui.message(QLatin1String(band.name) + QStringLiteral(" band, segment ") +
                           QString::number(i) + QStringLiteral(": ") +
                           QLatin1String(kValueNames[v]) + QLatin1Char(' ') +
                           wholeNumberText(values[v]) + kCrLf +
                           QStringLiteral("Error creating calibration string"));
                return false;
            }
            rows[i][2 * v] = word.bytes[0];
            rows[i][2 * v + 1] = word.bytes[1];
        }
    }
    return true;
}

// Writes the temperature and the three bands' segments, and clears the
// retransmits limit and the erase-all indicator. The connection stays open.
bool sendCalData(ProgramState& state, const NoiseCalibration& run) {
    Operator& ui = state.ui;
    state.link.closeDevice();
    state.link.closeDevice();
    ui.setStatus(QStringLiteral("Opening KSX-4"));
    if (const int16_t found = waitForTester(state); found != 0) {
        ui.message(QStringLiteral("Unable to find KSX-4. Return Value: ") + QString::number(found) +
                       kCrLf + kCrLf,
                   Buttons::Ok, Icon::Critical);
        return false;
    }
    int32_t opened = -1;
    for (int attempt = 0; attempt < kOpenAttempts && opened != OPERATION_SUCCESS; ++attempt) {
        opened = state.link.openDevice(0);
    }
    if (opened != OPERATION_SUCCESS) {
        ui.message(QStringLiteral("Unable to Open KSX-4. Return Value: ") +
                       QString::number(opened) + kCrLf + kCrLf,
                   Buttons::Ok, Icon::Critical);
        return false;
    }

    pauseMs(state, 1000);
    ui.setStatus(QStringLiteral("Sending temperature data"));
    const EncodedWord temperature = encodeWord(ui, wholeNumberText(run.temperature));
    if (!temperature.ok) {
        ui.message(QStringLiteral("Error creating temperature string"));
        return false;
    }
    // Every row is encoded before the first write, so that a value that
    // cannot be stored never leaves the tester with half a new table.
    std::array<std::array<std::array<uint8_t, kRowBytes>, noise::kSegments>, 3> rows{};
    for (std::size_t b = 0; b < kBands.size(); ++b) {
        if (!encodeBand(ui, *kBands[b], run.bands[b], rows[b])) return false;
    }
    if (!writeBytes(state, eeprom::kCalibrationTemperature.address, temperature.bytes.data(), 2,
                    QStringLiteral("Error writing KSX-4 temperature"))) {
        return false;
    }

    for (std::size_t b = 0; b < kBands.size(); ++b) {
        const Band& band = *kBands[b];
        pauseMs(state, 1000);
        ui.setStatus(QStringLiteral("Sending ") + QLatin1String(band.name) +
                     QStringLiteral(" band data"));
        for (std::size_t segment = 0; segment < rows[b].size(); ++segment) {
            const int address = band.eepromBase + static_cast<int>(kRowBytes * segment);
            if (!writeBytes(state, address, rows[b][segment].data(), kRowBytes,
                            QStringLiteral("Error writing KSX-4 calibration data"))) {
                return false;
            }
        }
    }

    const EncodedWord zero = encodeWord(ui, QStringLiteral("0000"));
    for (const eeprom::Field& cleared : {eeprom::kRetransmitLimit, eeprom::kEraseIndicator}) {
        if (!writeBytes(state, cleared.address, zero.bytes.data(), 2,
                        QStringLiteral("Unable to Write KSX-4 EEPROM"))) {
            return false;
        }
    }
    ui.setStatus(QStringLiteral("Noise calibration data written to KSX-4"));
    return true;
}

[[noreturn]] void endCalibration(ProgramState& state, const QString& problem) {
    // The problem, four line breaks, then "Exiting Program".
    endProgramWithMessage(state, problem + kCrLf + kCrLf, std::nullopt);
}

// The serial number as the operator types it: a KSX-4-PA stores its number
// plus 32768. Empty text (refused by the encoder) when the box is cancelled.
QString askSerialNumber(Operator& ui) {
    const Answer pa =
        ui.message(QStringLiteral("Is this unit an KSX-4-PA?"), Buttons::YesNo, Icon::None, kTitle);
    if (pa == Answer::Yes) {
        const auto typed = ui.input(QStringLiteral("Enter KSX-4-PA serial number"), kTitle, {});
        if (!typed) return {};
        return wholeNumberText(typedNumber(typed) + eeprom::kPaSerialBase);
    }
    return ui.input(QStringLiteral("Enter KSX-4 serial number"), kTitle, {}).value_or(QString());
}

Outcome calibrate(ProgramState& state, MainWindowForm& window, Gpib& gpib) {
    Operator& ui = state.ui;
    GpibInstrument instrument(gpib, ui);
    if (!instrument.openInstrument()) return Outcome::Failed;
    window.setTransferAndFirmwareEnabled(false);
    ui.message(QStringLiteral("Disconnect KSX-4 from USB (if connected) and connect to fieldbus "
                              "(if not already connected)."),
               Buttons::Ok, Icon::None, kTitle);

    NoiseCalibration run;
    if (!CalNoise(state, instrument, run)()) {
        endCalibration(state, QStringLiteral("Calibration problem: calNoise"));
    }
    ui.message(QStringLiteral("Disconnect fieldbus from KSX-4"), Buttons::Ok, Icon::None, kTitle);
    ui.message(QStringLiteral("Connect USB cable to KSX-4"), Buttons::Ok, Icon::None, kTitle);
    if (!sendCalData(state, run)) {
        endCalibration(state, QStringLiteral("Calibration problem: sendCalData"));
    }

    const EncodedWord serial = encodeWord(ui, askSerialNumber(ui));
    if (!serial.ok) return Outcome::Refused;
    const int32_t written = state.link.writeEEMemory(
        static_cast<uint32_t>(eeprom::kSerialNumber.address),
        static_cast<uint32_t>(eeprom::kSerialNumber.length), serial.bytes.data());
    if (written != OPERATION_SUCCESS) {
        endProgramWithMessage(state, QStringLiteral("Error writing KSX-4 serial number"), written);
    }
    if (const int32_t defaults = makeSends(state); defaults != OPERATION_SUCCESS) {
        endProgramWithMessage(state, QStringLiteral("Error writing default data to KSX-4"),
                              defaults);
    }
    if (const int32_t closed = state.link.closeDevice(); closed != OPERATION_SUCCESS) {
        endProgramWithMessage(state, QStringLiteral("Unable to Close KSX-4"), closed);
    }
    ui.setStatus(QStringLiteral("KSX-4 serial number and default data written to EEPROM"));
    pauseMs(state, 1000);
    ui.setStatus(QStringLiteral("KSX-4 calibration complete"));
    window.setTransferAndFirmwareEnabled(true);
    return Outcome::Done;
}

}  // namespace

Outcome mnuManCal_Click(ProgramState& state, MainWindowForm& window, Gpib& gpib) {
    return runShowingCommandError(state.ui, [&] { return calibrate(state, window, gpib); });
}

}  // namespace ksx4
