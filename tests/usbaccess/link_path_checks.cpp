#include "link_path_checks.h"

#include "firmware_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ksx4::test {

sim::TesterImage testerImage(uint16_t serial) {
    sim::SampleOptions options;
    options.serial = serial;
    sim::TesterImage image = sim::sampleTester(options);
    for (uint32_t a = 0; a < kAppAreaStart; ++a)
        image.flash[a] = static_cast<uint8_t>(a * 7 + serial);
    return image;
}

uint16_t serialNumber(const LinkLibrary& link) {
    uint8_t bytes[2] = {};
    EXPECT_EQ(link.readEeprom(254, 2, bytes), OPERATION_SUCCESS);
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

void expectWholeMemories(const LinkLibrary& link, const sim::TesterImage& image) {
    std::vector<uint8_t> eeprom(kEepromSize);
    std::vector<uint8_t> flash(kFlashSize);
    EXPECT_EQ(link.readEeprom(0, kEepromSize, eeprom.data()), OPERATION_SUCCESS);
    EXPECT_EQ(link.readFlash(0, kFlashSize, flash.data()), OPERATION_SUCCESS);
    EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.end(), image.eeprom.begin()));
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), image.flash.begin()));
}

std::array<uint8_t, kEepromSize> writeLocationName(const LinkLibrary& link,
                                                   const sim::TesterImage& before) {
    const uint8_t name[16] = {'P', 'u', 'm', 'p', ' ', 'S', 't', 'a',
                              't', 'i', 'o', 'n', ' ', '1', '2', ' '};
    EXPECT_EQ(link.writeEeprom(100, 16, name), OPERATION_SUCCESS);
    std::array<uint8_t, kEepromSize> expected = before.eeprom;
    std::copy(std::begin(name), std::end(name), expected.begin() + 100);
    return expected;
}

void PrintTo(const EndpointTypes& c, std::ostream* out) {
    *out << c.name;
}

std::optional<TestFirmware> testFirmware(const std::filesystem::path& dir, std::string* reason,
                                         bool* failed) {
    *failed = false;
    if (!haveTool("gpasm") || !haveTool("srec_cat")) {
        *reason = "needs gpasm (Debian gputils) and srec_cat (Debian srecord)";
        return std::nullopt;
    }
    *failed = true;
    const auto hexFile = assembleFirmware("ksx4_firmware", dir, false, reason);
    if (!hexFile) return std::nullopt;
    auto application = applicationAreaBySrecCat(*hexFile, reason);
    if (!application) return std::nullopt;
    *failed = false;
    return TestFirmware{*hexFile, std::move(*application)};
}

void expectLoaded(const TestFirmware& firmware, const sim::TesterImage& before,
                  const sim::TesterImage& after) {
    EXPECT_TRUE(
        std::equal(after.flash.begin(), after.flash.begin() + kAppAreaStart, before.flash.begin()))
        << "boot block kept";
    EXPECT_TRUE(std::equal(firmware.application.begin(), firmware.application.end(),
                           after.flash.begin() + kAppAreaStart));
    EXPECT_EQ(after.eeprom, before.eeprom);
}

}  // namespace ksx4::test
