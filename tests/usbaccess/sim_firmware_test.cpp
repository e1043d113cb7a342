// Firmware assembled by gpasm, boot loaded into a simulated tester of its
// kind: the flash then holds what srec_cat makes of the same file over the
// application area, and the boot block and the EEPROM are as they were.
#include "firmware_fixture.h"
#include "link_library.h"
#include "sim_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ksx4::test {
namespace {

struct Firmware {
    const char* source;
    bool pa;
    bool dosLineEnds;
    uint8_t marker;
};

void PrintTo(const Firmware& c, std::ostream* out) {
    *out << c.source;
}

class SimFirmwareTest : public SimFolderTest, public ::testing::WithParamInterface<Firmware> {};

TEST_P(SimFirmwareTest, FlashHoldsTheApplicationAreaOfTheFile) {
    if (!haveTool("gpasm") || !haveTool("srec_cat")) {
        GTEST_SKIP() << "needs gpasm (Debian gputils) and srec_cat (Debian srecord)";
    }
    const Firmware& firmware = GetParam();
    std::string problem;
    const auto hexFile = assembleFirmware(firmware.source, dir, firmware.dosLineEnds, &problem);
    ASSERT_TRUE(hexFile) << problem;
    const auto application = applicationAreaBySrecCat(*hexFile, &problem);
    ASSERT_TRUE(application) << problem;
    ASSERT_EQ((*application)[0x7D01 - 0x0800], firmware.marker);

    sim::SampleOptions options;
    options.pa = firmware.pa;
    sim::TesterImage tester = sim::sampleTester(options);
    for (size_t a = 0; a < 0x0800; ++a) tester.flash[a] = static_cast<uint8_t>(a % 251);
    plugIn(tester);
    auto link = LinkLibrary::load();
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    ASSERT_EQ(link.bootLoad(hexFile->c_str()), OPERATION_SUCCESS);
    EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);

    const sim::TesterImage loaded = stored();
    EXPECT_TRUE(
        std::equal(loaded.flash.begin(), loaded.flash.begin() + 0x0800, tester.flash.begin()))
        << "boot block kept, although the file gives its own reset vector there";
    EXPECT_TRUE(
        std::equal(application->begin(), application->end(), loaded.flash.begin() + 0x0800));
    EXPECT_EQ(loaded.eeprom, tester.eeprom) << "the file's EEPROM data is not written";
}

INSTANTIATE_TEST_SUITE_P(Gpasm, SimFirmwareTest,
                         ::testing::Values(Firmware{"ksx4_firmware", false, false, 1},
                                           Firmware{"ksx4pa_firmware", true, true, 128}),
                         [](const auto& info) { return std::string(info.param.source); });

}  // namespace
}  // namespace ksx4::test
