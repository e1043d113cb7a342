// The firmware marker check: the reports can only be decoded when the
// tester's firmware is the one this program knows for its kind.
#include "core/operator.h"
#include "core/program_state.h"
#include "report/transfer.h"
#include "settings/firmware_marker.h"
#include "settings/memory_map.h"

#include <QStringList>

namespace ksx4 {
namespace {

using firmware::kKsx4Marker;
using firmware::kKsx4PaMarker;

enum class Outdated { Program, Firmware };

QString incompatibleMessage(const QString& kind, Outdated outdated) {
    QStringList lines{
        kind + QStringLiteral(" firmware version is incompatible with"),
        QStringLiteral("this version of the KSX-4 Assistant software."),
        outdated == Outdated::Program
            ? QStringLiteral("This is an outdated KSX-4 Assistant version.")
            : QStringLiteral("The ") + kind + QStringLiteral(" firmware is outdated."),
        QString(),
        QStringLiteral("Download the latest KSX-4 Assistant and"),
        kind + QStringLiteral(" firmware at ") + kMakerWebAddress,
    };
    return lines.join(kCrLf);
}

bool refuse(ProgramState& state, const QString& kind, Outdated outdated) {
    state.ui.message(incompatibleMessage(kind, outdated), Buttons::Ok, Icon::Critical);
    state.ui.setStatus(kind + QStringLiteral(" firmware version is incompatible"));
    return false;
}

}  // namespace

bool checkFirmwareMarker(ProgramState& state) {
    int marker = state.flashImage[flash::kFirmwareMarker];
    if (marker == 0) marker = kKsx4Marker;  // early KSX-4 firmware carries 0
    state.firmwareMarker = static_cast<uint16_t>(marker);
    if (marker == flash::kUnmarkedFirmware) return true;

    const QString kind = firmware::testerKindName(state.testerType);
    if (state.testerType == kKsx4Pa) {
        if (marker > kKsx4PaMarker) return refuse(state, kind, Outdated::Program);
        if (marker < kKsx4PaMarker) return refuse(state, kind, Outdated::Firmware);
        return true;
    }
    if (marker > kKsx4Marker) return refuse(state, kind, Outdated::Program);
    return true;
}

}  // namespace ksx4
