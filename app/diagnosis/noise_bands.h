#pragma once
// What each noise band means on a segment: its name, where such noise comes
// from and where to look.
#include "diagnosis/segment_reading.h"

#include <QString>
#include <QStringList>

namespace ksx4::diagnosis {

QString bandName(NoiseBand band);  // "Fieldbus-frequency", "Low-frequency", "High-frequency"
QStringList bandCauses(NoiseBand band);
QString bandCheck(NoiseBand band);

inline constexpr NoiseBand kBands[] = {NoiseBand::Fieldbus, NoiseBand::Low, NoiseBand::High};

}  // namespace ksx4::diagnosis
