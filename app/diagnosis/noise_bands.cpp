#include "diagnosis/noise_bands.h"

namespace ksx4::diagnosis {

QString bandName(NoiseBand band) {
    switch (band) {
        case NoiseBand::Fieldbus:
            return QStringLiteral("Fieldbus-frequency");
        case NoiseBand::Low:
            return QStringLiteral("Low-frequency");
        case NoiseBand::High:
            break;
    }
    return QStringLiteral("High-frequency");
}

QStringList bandCauses(NoiseBand band) {
    switch (band) {
        case NoiseBand::Fieldbus:
            return {QStringLiteral("a device transmitting badly"),
                    QStringLiteral("an unbalanced segment (a wire or a terminator with a path "
                                   "to ground)"),
                    QStringLiteral("this is the band that disturbs communication")};
        case NoiseBand::Low:
            return {QStringLiteral("power supply ripple (the power conditioner or its supply)"),
                    QStringLiteral("mains hum through a second shield ground")};
        case NoiseBand::High:
            break;
    }
    return {QStringLiteral("variable-speed drives"), QStringLiteral("switching power supplies"),
            QStringLiteral("the cable laid beside power cables")};
}

QString bandCheck(NoiseBand band) {
    switch (band) {
        case NoiseBand::Fieldbus:
            return QStringLiteral(
                "Disconnect the devices one at a time to find a noisy transmitter; measure both "
                "wires against the shield for balance.");
        case NoiseBand::Low:
            return QStringLiteral(
                "Check the power conditioner and its supply for ripple, and that the shield is "
                "grounded at one point only.");
        case NoiseBand::High:
            break;
    }
    return QStringLiteral(
        "Look for drives and switching supplies near the cable and where it runs beside power "
        "cables; check the shield's ground.");
}

}  // namespace ksx4::diagnosis
