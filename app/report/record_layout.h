#pragma once
// Where the fields of a stored report lie within its 256-byte slot, for the
// two record layouts: the KSX-4 (Fieldbus) and the KSX-4-PA (Profibus PA).
#include <cstdint>

namespace ksx4::record {

inline constexpr int kNone = -1;  // the field is not part of this layout
inline constexpr int kLocationName = 0;
inline constexpr int kLocationNameLength = 15;
inline constexpr int kDeviceEntryCount = 32;

// Entry status byte values; any other non-zero value is unrecognised.
inline constexpr uint8_t kEntryEmpty = 0;
inline constexpr uint8_t kEntryPresent = 1;
inline constexpr uint8_t kEntryAdded = 2;
inline constexpr uint8_t kEntryDropped = 3;
// Kind of the most recent add/drop; anything else means none.
inline constexpr uint8_t kAddDropAdd = 2;
inline constexpr uint8_t kAddDropDrop = 3;
inline constexpr uint8_t kNoShorts = 2;  // shield short code of a sound shield
inline constexpr uint16_t kSignalNotAvailable = 2250;
inline constexpr uint16_t kNoAddress = 65535;
inline constexpr uint8_t kMasterRole = 1;

struct Layout {
    // Offsets within the slot; kNone where the layout has no such field.
    int connectedTime, savedTime;  // time stamps
    int voltage, lowestSignal, lowestSignalAddress, lowestSignalTime;
    int avgFieldbusNoise, peakFieldbusNoise, peakFieldbusNoiseTime;
    int avgLowNoise, peakLowNoise, peakLowNoiseTime;
    int avgHighNoise, peakHighNoise, peakHighNoiseTime;
    int shieldShort;  // byte
    int lasAddress;
    int addDropAddress;
    uint16_t noAddDropAddress;                    // the address value that means "none"
    int addDropKind, addDropTime, activeDevices;  // bytes, except the time
    // Device table: entries of entrySize bytes from deviceTable.
    int deviceTable, entrySize;
    int entryAddress, entrySignal, entryStatus, entryRole, entryRetransmits;
};

inline constexpr Layout kFieldbus{
    .connectedTime = 16,
    .savedTime = 20,
    .voltage = 24,
    .lowestSignal = 26,
    .lowestSignalAddress = 28,
    .lowestSignalTime = 30,
    .avgFieldbusNoise = 34,
    .peakFieldbusNoise = 36,
    .peakFieldbusNoiseTime = 38,
    .avgLowNoise = 42,
    .peakLowNoise = 44,
    .peakLowNoiseTime = 46,
    .avgHighNoise = 50,
    .peakHighNoise = 52,
    .peakHighNoiseTime = 54,
    .shieldShort = 58,
    .lasAddress = 59,
    .addDropAddress = 61,
    .noAddDropAddress = 65535,
    .addDropKind = 63,
    .addDropTime = 64,
    .activeDevices = 68,
    .deviceTable = 69,
    .entrySize = 5,
    .entryAddress = 0,
    .entrySignal = 1,
    .entryStatus = 3,
    .entryRole = kNone,
    .entryRetransmits = 4,
};

// The PA record has no time stamps and no LAS address; its add/drop address
// uses 255 for "none".
inline constexpr Layout kProfibusPa{
    .connectedTime = kNone,
    .savedTime = kNone,
    .voltage = 16,
    .lowestSignal = 18,
    .lowestSignalAddress = 20,
    .lowestSignalTime = kNone,
    .avgFieldbusNoise = 22,
    .peakFieldbusNoise = 24,
    .peakFieldbusNoiseTime = kNone,
    .avgLowNoise = 32,
    .peakLowNoise = 34,
    .peakLowNoiseTime = kNone,
    .avgHighNoise = 36,
    .peakHighNoise = 38,
    .peakHighNoiseTime = kNone,
    .shieldShort = 40,
    .lasAddress = kNone,
    .addDropAddress = 41,
    .noAddDropAddress = 255,
    .addDropKind = 49,
    .addDropTime = kNone,
    .activeDevices = 50,
    .deviceTable = 51,
    .entrySize = 6,
    .entryAddress = 0,
    .entrySignal = 1,
    .entryStatus = 3,
    .entryRole = 4,
    .entryRetransmits = 5,
};

// Offset of device entry d (1..32) within the slot.
constexpr int deviceEntryOffset(const Layout& layout, int entry) {
    return layout.deviceTable + layout.entrySize * (entry - 1);
}

}  // namespace ksx4::record
