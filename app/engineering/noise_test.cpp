#include "engineering/noise_test.h"

#include "core/fatal_ending.h"
#include "core/main_window_form.h"
#include "core/operator.h"
#include "core/pause.h"
#include "core/program_state.h"
#include "engineering/command_error.h"
#include "engineering/gpib_instrument.h"
#include "engineering/noise_signals.h"

#include <array>

namespace ksx4 {
namespace {

using noise::Band;

const QString kTitle = QStringLiteral("KSX-4 Noise Test");
// Tested in this order, the order the tester's screens come in.
constexpr std::array<const Band*, 3> kBands{&noise::kFieldbusBand, &noise::kLowBand,
                                            &noise::kHighBand};

// The shown value should be more than the first and less than the second;
// they bracket the calibration targets 5, 20, 40, 500 and 1000.
struct PassWindow {
    int moreThan;
    int lessThan;
};
constexpr std::array<PassWindow, noise::kSteps> kPassWindows{{
    {0, 20},
    {10, 30},
    {30, 50},
    {475, 525},
    {950, 1050},
}};

QString screenName(const Band& band) {
    return QStringLiteral("PK ") + QLatin1String(band.name) + QStringLiteral(" NOISE");
}

class TestNoise {
  public:
    TestNoise(ProgramState& state, GpibInstrument& instrument)
        : state_(state), ui_(state.ui), instrument_(instrument) {}

    // false when the operator cancelled; otherwise all fifteen questions were
    // answered and testPassed tells whether every answer was Yes.
    bool operator()(bool& testPassed) {
        testPassed = true;
        instrument_.writeInstrument(noise::noiseOnlyCommand());
        ui_.setStatus(QStringLiteral("Setting noise only mode..."));
        pauseMs(state_, 2000);
        if (!okCancel(QStringLiteral("Push KSX-4 FUNC button to get to PK FF NOISE screen (if not "
                                     "already displayed), then select OK"))) {
            return false;
        }
        for (const Band* band : kBands) {
            if (!prepareScreen(*band)) return false;
            for (int step = 0; step < noise::kSteps; ++step) {
                instrument_.writeInstrument(noise::stepCommand(*band, step));
                ui_.setStatus(QStringLiteral("KSX-4 test, waiting for noise peak..."));
                pauseMs(state_, step * 4000 + 2000);
                ui_.setStatus(QStringLiteral("KSX-4 test, entering test result..."));
                const Answer answer =
                    ui_.message(question(*band, step), Buttons::YesNoCancel, Icon::None, kTitle);
                if (answer == Answer::No) testPassed = false;
                if (answer != Answer::Yes && answer != Answer::No) return false;
            }
        }
        // The generator stays at the last step.
        const QString result = testPassed ? QStringLiteral("KSX-4 noise test passed")
                                          : QStringLiteral("KSX-4 noise test failed");
        ui_.setStatus(result);
        ui_.message(result);
        return true;
    }

  private:
    bool okCancel(const QString& text) {
        return ui_.message(text, Buttons::OkCancel, Icon::None, kTitle) == Answer::Ok;
    }

    // Switches the output off and has the operator bring up the band's
    // screen (the first band's is already shown) and reset its number.
    bool prepareScreen(const Band& band) {
        instrument_.writeInstrument(noise::kOutputOff);
        const QString screen = screenName(band);
        if (&band != kBands.front() &&
            !okCancel(QStringLiteral("Push KSX-4 SEL button briefly to get to ") + screen +
                      QStringLiteral(" screen, then select OK"))) {
            return false;
        }
        return okCancel(
            QStringLiteral("Push SEL button on KSX-4 until ") + screen +
            QStringLiteral(" number resets (takes at least 3 seconds), then select OK"));
    }

    static QString question(const Band& band, int step) {
        const PassWindow& window = kPassWindows[static_cast<std::size_t>(step)];
        return QStringLiteral("If ") + screenName(band) + QStringLiteral(" shown on KSX-4 is:") +
               kCrLf + kCrLf + QStringLiteral("More than: ") + QString::number(window.moreThan) +
               kCrLf + QStringLiteral("Less than: ") + QString::number(window.lessThan) + kCrLf +
               kCrLf + QStringLiteral("Select YES, if not select NO.");
    }

    ProgramState& state_;
    Operator& ui_;
    GpibInstrument& instrument_;
};

Outcome test(ProgramState& state, MainWindowForm& window, Gpib& gpib) {
    Operator& ui = state.ui;
    window.setTransferAndFirmwareEnabled(false);
    GpibInstrument instrument(gpib, ui);
    if (!instrument.openInstrument()) {
        // Nothing ran: the buttons are not left disabled for good.
        window.setTransferAndFirmwareEnabled(true);
        return Outcome::Failed;
    }
    ui.message(QStringLiteral("Disconnect KSX-4 from USB (if connected) and connect to fieldbus "
                              "(if not already connected)."),
               Buttons::Ok, Icon::None, kTitle);
    bool testPassed = false;
    if (!TestNoise(state, instrument)(testPassed)) {
        // The problem, four line breaks, then "Exiting Program".
        endProgramWithMessage(state, QStringLiteral("Calibration test problem") + kCrLf + kCrLf,
                              std::nullopt);
    }
    window.setTransferAndFirmwareEnabled(true);
    return testPassed ? Outcome::Done : Outcome::Failed;
}

}  // namespace

Outcome mnuManTest_Click(ProgramState& state, MainWindowForm& window, Gpib& gpib) {
    return runShowingCommandError(state.ui, [&] { return test(state, window, gpib); });
}

}  // namespace ksx4
