#pragma once
// Building simulated testers: the two memories of one tester, stored reports
// in both record layouts, and the state folder the simulator reads
// (DIR/1/flash.bin, DIR/1/eeprom.bin, DIR/attached, DIR/faults).
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace ksx4::sim {

struct TesterImage {
    std::array<uint8_t, 32768> flash{};
    std::array<uint8_t, 256> eeprom{};
};

// One device table entry. role: 1 = master (KSX-4-PA only).
struct DeviceEntry {
    uint8_t address = 0;
    uint16_t signal = 0;
    uint8_t status = 1;  // 0 none, 1 not added/dropped, 2 added, 3 dropped
    uint8_t role = 0;
    uint8_t retransmits = 0;
};

// One stored report. Time stamps are 2.048-second ticks from 1 January 1972;
// 0 means no time stored (first byte 0). The KSX-4-PA layout ignores the
// time stamps and the LAS address.
struct Report {
    std::string locationName;  // up to 15 bytes, ANSI; filled up with blanks
    uint32_t connectedTicks = 0;
    uint32_t savedTicks = 0;
    uint16_t voltage = 24000;
    uint16_t lowestSignal = 2250;  // 2250 = not available
    uint16_t lowestSignalAddress = 65535;
    uint32_t lowestSignalTicks = 0;
    uint16_t avgFieldbusNoise = 10, peakFieldbusNoise = 20;
    uint32_t peakFieldbusTicks = 0;
    uint16_t avgLowNoise = 10, peakLowNoise = 20;
    uint32_t peakLowTicks = 0;
    uint16_t avgHighNoise = 10, peakHighNoise = 20;
    uint32_t peakHighTicks = 0;
    uint8_t shieldShort = 2;  // 2 = no shorts
    uint16_t lasAddress = 65535;
    uint16_t addDropAddress = 65535;  // KSX-4-PA: 255 = none
    uint8_t addDropKind = 0;          // 2 add, 3 drop, other none
    uint32_t addDropTicks = 0;
    uint8_t activeDevices = 0;
    std::array<std::optional<DeviceEntry>, 32> devices{};  // entry d at index d - 1
};

// A fresh tester: erased flash (0xFF) with a firmware marker at 32001, EEPROM
// with the factory defaults (names "Report 1".., limits), the serial number
// (KSX-4-PA: plus 32768), erase indicator 0.
TesterImage blankTester(bool pa, uint16_t serial);

// Stores a report in slot 1..8 in the layout of the kind, with status 2 and a
// correct checksum.
void storeReport(TesterImage& image, bool pa, int slot, const Report& report);

// Sets a high-byte-first EEPROM word / a blank-filled EEPROM text.
void setEepromWord(TesterImage& image, int address, uint16_t value);
void setEepromText(TesterImage& image, int address, int length, const std::string& ansiText);

// The realistic sample tester `ksx4sim init` writes; the same options give
// the same bytes.
struct SampleOptions {
    bool pa = false;
    uint16_t serial = 1001;
    int reports = 8;
    int devices = 12;  // at most 32
    uint32_t seed = 1;
    bool variedNames = false;  // location names such as "Pump Station A"
};
TesterImage sampleTester(const SampleOptions& options);

// DIR/<index>/flash.bin and eeprom.bin. Returns false with a reason.
bool writeTester(const std::filesystem::path& dir, int index, const TesterImage& image,
                 std::string* error = nullptr);
bool readTester(const std::filesystem::path& dir, int index, TesterImage& image,
                std::string* error = nullptr);
// DIR/attached; a negative count removes the file.
void setAttached(const std::filesystem::path& dir, int count);
// DIR/faults (empty text removes the file).
void setFaults(const std::filesystem::path& dir, const std::string& rules);

}  // namespace ksx4::sim
