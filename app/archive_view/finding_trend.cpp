#include "archive_view/finding_trend.h"

#include "diagnosis/noise_bands.h"

#include <array>

namespace ksx4 {
namespace {

namespace code = diagnosis::code;

bool isOneOf(const QString& code, std::initializer_list<const char*> codes) {
    for (const char* c : codes) {
        if (code == QLatin1String(c)) return true;
    }
    return false;
}

// The noise band a noise finding is about: its sentence begins with the
// band's name.
std::optional<diagnosis::NoiseBand> bandOf(const diagnosis::Finding& finding) {
    for (const diagnosis::NoiseBand band : diagnosis::kBands) {
        if (finding.summary.startsWith(diagnosis::bandName(band))) return band;
    }
    return std::nullopt;
}

QString noiseChart(diagnosis::NoiseBand band, bool peak) {
    static const std::array<const char*, diagnosis::kNoiseBands> kNames{"Fieldbus", "Low Frequency",
                                                                        "High Frequency"};
    return QStringLiteral("%1 %2 Noise")
        .arg(peak ? QStringLiteral("Peak") : QStringLiteral("Average"),
             QString::fromLatin1(kNames[static_cast<std::size_t>(band)]));
}

}  // namespace

std::optional<FindingTrend> trendOfFinding(const diagnosis::Finding& f) {
    if (isOneOf(f.code, {code::kVoltageLow, code::kVoltageMargin, code::kVoltageDown}))
        return FindingTrend{std::nullopt, QStringLiteral("Segment Voltage")};
    if (isOneOf(f.code, {code::kSignalLow, code::kSignalHigh, code::kSignalWeakDevice,
                         code::kSignalNoiseMargin, code::kSignalAllUp, code::kSignalAllDown,
                         code::kSignalDeviceDown, code::kSignalFalling})) {
        if (f.device)
            return FindingTrend{f.device, QStringLiteral("Device %1 Signal Level").arg(*f.device)};
        return FindingTrend{std::nullopt, QStringLiteral("Lowest Device Signal")};
    }
    if (isOneOf(f.code, {code::kRetransmitsHigh, code::kRetransmitsUp}) && f.device)
        return FindingTrend{f.device, QStringLiteral("Device %1 Retransmits").arg(*f.device)};
    if (isOneOf(f.code, {code::kNoiseHigh, code::kNoiseUp})) {
        const auto band = bandOf(f);
        if (!band) return std::nullopt;
        // Over its limit at the peak alone: the peak's chart.
        const bool peak = !f.value(QStringLiteral("avg_mv")) && f.value(QStringLiteral("peak_mv"));
        return FindingTrend{std::nullopt, noiseChart(*band, peak)};
    }
    return std::nullopt;
}

}  // namespace ksx4
