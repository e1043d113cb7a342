#include "firmware/firmware_compatibility.h"

#include "core/operator.h"
#include "core/program_state.h"
#include "platform/link_library.h"
#include "settings/firmware_marker.h"

namespace ksx4 {
namespace {

bool refuse(ProgramState& state) {
    const QString kind = firmware::testerKindName(state.testerType);
    state.ui.message(QStringLiteral("Selected file is not compatible with ") + kind +
                         QStringLiteral(" hardware.") + kCrLf + kCrLf +
                         QStringLiteral("Download the latest ") + kind +
                         QStringLiteral(" firmware at ") + kMakerWebAddress,
                     Buttons::Ok, Icon::Critical);
    state.ui.setStatus(QStringLiteral("Selected file is not compatible with ") + kind);
    state.link.closeDevice();
    return false;
}

}  // namespace

bool checkFirmwareCompatibility(ProgramState& state) {
    using firmware::MarkedFor;
    const MarkedFor markedFor = firmware::markedFor(state.firmwareMarker);
    if (state.testerType == kKsx4 && markedFor == MarkedFor::Ksx4Pa) return refuse(state);
    if (state.testerType == kKsx4Pa && markedFor == MarkedFor::Ksx4) return refuse(state);
    return true;
}

}  // namespace ksx4
