#include "engineering/noise_signals.h"

namespace ksx4::noise {

QString sineCommand(int frequencyHz, int amplitudeMv) {
    return QStringLiteral("APPL:SIN ") + QString::number(frequencyHz) + QLatin1Char(',') +
           QString::number(amplitudeMv) + QStringLiteral("E-3,0");
}

QString noiseOnlyCommand() {
    return sineCommand(23000, 1500);
}

QString stepCommand(const Band& band, int step) {
    if (step <= 0 || step >= kSteps) return kOutputOff;
    return sineCommand(band.frequencyHz, band.amplitudesMv[static_cast<std::size_t>(step - 1)]);
}

}  // namespace ksx4::noise
