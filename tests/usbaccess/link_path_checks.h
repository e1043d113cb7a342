#pragma once
// What the path a real tester's packets take must do on every bus the tests
// offer (the scripted libusb, the emulated usbfs): the testers they plug in,
// and the checks through the link library's exports.
#include "link_library.h"
#include "tester_image.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace ksx4::test {

inline constexpr uint32_t kEepromSize = 256;
inline constexpr uint32_t kFlashSize = 0x8000;
inline constexpr uint32_t kAppAreaStart = 0x0800;

// A sample tester with the serial number and a boot block of its own.
sim::TesterImage testerImage(uint16_t serial);

// The serial number at EEPROM 254, read through the link library.
uint16_t serialNumber(const LinkLibrary& link);

// Both whole memories read through the link library equal the image.
void expectWholeMemories(const LinkLibrary& link, const sim::TesterImage& image);

// Writes a location name at EEPROM 100; returns what the EEPROM of a
// tester that held `before` must hold now.
std::array<uint8_t, kEepromSize> writeLocationName(const LinkLibrary& link,
                                                   const sim::TesterImage& before);

// The transfer types of a tester's OUT and IN endpoint 1.
struct EndpointTypes {
    const char* name;
    uint8_t out;
    uint8_t in;
};
void PrintTo(const EndpointTypes& c, std::ostream* out);

// The test firmware assembled into dir and srec_cat's view of its
// application area; nullopt with the reason when gpasm or srec_cat is
// missing (skipped) or fails (failed: *failed is set).
struct TestFirmware {
    std::filesystem::path hexFile;
    std::vector<uint8_t> application;
};
std::optional<TestFirmware> testFirmware(const std::filesystem::path& dir, std::string* reason,
                                         bool* failed);

// After a boot load of the firmware: the boot block and the EEPROM as
// before, the application area as the file gives it.
void expectLoaded(const TestFirmware& firmware, const sim::TesterImage& before,
                  const sim::TesterImage& after);

}  // namespace ksx4::test
