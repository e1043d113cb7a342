#pragma once
// The generator signals of the noise calibration and the noise test: one sine
// per band and step, step 0 with the output switched off, and the strong
// fieldbus-frequency sine that puts the tester into noise-only mode.
#include <QString>

#include <array>

namespace ksx4::noise {

inline constexpr int kSteps = 5;  // step 0 (output off) .. 4

struct Band {
    const char* name;  // "LF", "FF", "HF"
    char number;       // the number the tester shows for it: 'L', 'F', 'H'
    int frequencyHz;
    std::array<int, kSteps - 1> amplitudesMv;  // steps 1..4
    int eepromBase;                            // its first calibration row
};

inline constexpr Band kLowBand{"LF", 'L', 1000, {16, 36, 480, 960}, 8};
inline constexpr Band kFieldbusBand{"FF", 'F', 23000, {16, 36, 486, 975}, 44};
inline constexpr Band kHighBand{"HF", 'H', 125000, {17, 37, 489, 980}, 80};

inline const QString kOutputOff = QStringLiteral("OUTPUT OFF");

// "APPL:SIN <Hz>,<mV>E-3,0": a sine of that amplitude in thousandths of a
// volt, no DC offset.
QString sineCommand(int frequencyHz, int amplitudeMv);
// APPL:SIN 23000,1500E-3,0
QString noiseOnlyCommand();
// Step 0: the output off; steps 1..4: the band's sine of that step.
QString stepCommand(const Band& band, int step);

}  // namespace ksx4::noise
