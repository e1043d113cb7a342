#pragma once
// The firmware's hardware marker byte at flash address 32001: which kind of
// tester a firmware image is made for. Report transfer judges the tester's
// own firmware by it, firmware update judges a HEX file before loading it.
#include "core/maker.h"
#include "core/program_state.h"
#include "settings/memory_map.h"

#include <QString>

#include <cstdint>

namespace ksx4::firmware {

// The markers of the firmware whose report layout this program reads.
inline constexpr int kKsx4Marker = 1;
inline constexpr int kKsx4PaMarker = 128;

enum class MarkedFor { Ksx4, Ksx4Pa, Unmarked };

// 0..127: KSX-4 firmware, 128..254: KSX-4-PA firmware, 255: unmarked.
constexpr MarkedFor markedFor(int marker) {
    if (marker < kKsx4PaMarker) return MarkedFor::Ksx4;
    if (marker < flash::kUnmarkedFirmware) return MarkedFor::Ksx4Pa;
    return MarkedFor::Unmarked;
}

// "KSX-4" or "KSX-4-PA", as the messages name a tester kind.
inline QString testerKindName(uint16_t testerType) {
    return testerType == kKsx4Pa ? QStringLiteral("KSX-4-PA") : QStringLiteral("KSX-4");
}

}  // namespace ksx4::firmware
