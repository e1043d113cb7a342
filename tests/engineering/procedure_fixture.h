#pragma once
// What the engineering procedure tests share: a main window that records the
// transfer and firmware buttons' state, answers picked by a message's text,
// the operator's inputs of a whole calibration, and the generator commands
// and calibration table the procedures must produce.
#include "core/main_window_form.h"
#include "scripted_operator.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <deque>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace ksx4::test {

struct RecordingWindow final : MainWindowForm {
    void hideEngineeringEntries() override {}
    void showMainWindow() override {}
    void setTransferAndFirmwareEnabled(bool enabled) override {
        transferAndFirmware.push_back(enabled);
    }
    std::vector<bool> transferAndFirmware;  // every call, in order
};

// Answers the messages whose text starts with a given text, once per queued
// answer; every other message gets the scripted operator's first button.
class AnswerBook {
  public:
    explicit AnswerBook(ScriptedOperator& ui) {
        ui.onMessage = [this, &ui](const ShownMessage& shown) {
            for (auto& [start, answers] : book_) {
                if (!answers.empty() && shown.text.startsWith(start)) {
                    ui.answers.push_front(answers.front());
                    answers.pop_front();
                    return;
                }
            }
        };
    }
    void answer(const QString& textStart, Answer answer) {
        for (auto& [start, answers] : book_) {
            if (start == textStart) {
                answers.push_back(answer);
                return;
            }
        }
        book_.emplace_back(textStart, std::deque<Answer>{answer});
    }

  private:
    std::vector<std::pair<QString, std::deque<Answer>>> book_;
};

inline const QString kPaQuestion = QStringLiteral("Is this unit an KSX-4-PA?");

// The calibration's worked example: these readings in every band.
inline const QStringList kExampleReadings{"100", "150", "200", "300", "400"};
// Slope, offset and range end of segments 0..3, as stored from the band's
// first row on.
inline constexpr std::array<uint16_t, 12> kExampleRows{30,  25,  150, 40,  40,   200,
                                                       460, 880, 300, 500, 1000, 1024};

// Queues the temperature, the five readings of each band (the same for LF,
// FF and HF) and the serial number.
inline void queueCalibrationInputs(ScriptedOperator& ui, const QString& temperature,
                                   const QStringList& readings, const QString& serial) {
    ui.inputs.push_back(temperature);
    for (int band = 0; band < 3; ++band) {
        for (const QString& reading : readings) ui.inputs.push_back(reading);
    }
    ui.inputs.push_back(serial);
}

using Commands = std::vector<std::string>;

// Every string a whole calibration writes to the generator, in order.
inline Commands calibrationCommands() {
    return {"*RST",
            "*CLS",
            "APPL:SIN 23000,1500E-3,0",
            "OUTPUT OFF",
            "OUTPUT OFF",
            "APPL:SIN 1000,16E-3,0",
            "APPL:SIN 1000,36E-3,0",
            "APPL:SIN 1000,480E-3,0",
            "APPL:SIN 1000,960E-3,0",
            "OUTPUT OFF",
            "OUTPUT OFF",
            "APPL:SIN 23000,16E-3,0",
            "APPL:SIN 23000,36E-3,0",
            "APPL:SIN 23000,486E-3,0",
            "APPL:SIN 23000,975E-3,0",
            "OUTPUT OFF",
            "OUTPUT OFF",
            "APPL:SIN 125000,17E-3,0",
            "APPL:SIN 125000,37E-3,0",
            "APPL:SIN 125000,489E-3,0",
            "APPL:SIN 125000,980E-3,0"};
}

// Every string a whole noise test writes, in order: FF, LF, then HF.
inline Commands noiseTestCommands() {
    return {"*RST",
            "*CLS",
            "APPL:SIN 23000,1500E-3,0",
            "OUTPUT OFF",
            "OUTPUT OFF",
            "APPL:SIN 23000,16E-3,0",
            "APPL:SIN 23000,36E-3,0",
            "APPL:SIN 23000,486E-3,0",
            "APPL:SIN 23000,975E-3,0",
            "OUTPUT OFF",
            "OUTPUT OFF",
            "APPL:SIN 1000,16E-3,0",
            "APPL:SIN 1000,36E-3,0",
            "APPL:SIN 1000,480E-3,0",
            "APPL:SIN 1000,960E-3,0",
            "OUTPUT OFF",
            "OUTPUT OFF",
            "APPL:SIN 125000,17E-3,0",
            "APPL:SIN 125000,37E-3,0",
            "APPL:SIN 125000,489E-3,0",
            "APPL:SIN 125000,980E-3,0"};
}

// List1 without waitForTester's device-count lines.
inline QStringList linkLines(const QStringList& list) {
    QStringList lines;
    for (const QString& line : list) {
        if (!line.startsWith(QLatin1String("TessCommGetDeviceCount = "))) lines.append(line);
    }
    return lines;
}

template <std::size_t N>
uint16_t wordAt(const std::array<uint8_t, N>& memory, int address) {
    const auto at = static_cast<std::size_t>(address);
    return static_cast<uint16_t>(memory[at] << 8 | memory[at + 1]);
}

// The twelve words from address on.
template <std::size_t N>
std::array<uint16_t, 12> rowsAt(const std::array<uint8_t, N>& memory, int address) {
    std::array<uint16_t, 12> words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = wordAt(memory, address + 2 * static_cast<int>(i));
    }
    return words;
}

}  // namespace ksx4::test
