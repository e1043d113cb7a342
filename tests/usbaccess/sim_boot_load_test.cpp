// Boot loading into the simulated tester: a load cut short by each kind of
// transmission fault fails, and the next pass over a new connection loads the
// whole image.
#include "intel_hex_text.h"
#include "link_library.h"
#include "sim_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <vector>

namespace ksx4::test {
namespace {

using sim::TesterImage;

struct InterruptedLoad {
    const char* rule;
    int loadedTester;  // the tester the second pass reaches
};

void PrintTo(const InterruptedLoad& c, std::ostream* out) {
    *out << '"' << c.rule << '"';
}

class SimBootLoadTest : public SimFolderTest,
                        public ::testing::WithParamInterface<InterruptedLoad> {};

// Exchanges 1 to 480 erase; then each row is written and read back: 481 is
// the first write, 482 its read-back.
TEST_P(SimBootLoadTest, FailsAtTheFaultAndLoadsOnTheNextPass) {
    TesterImage tester = sim::sampleTester({});
    std::fill(tester.flash.begin(), tester.flash.begin() + 0x0800, 0xB5);  // the boot loader
    plugIn(tester, 1);
    plugIn(tester, 2);
    sim::setAttached(dir, 1);
    sim::setFaults(dir, std::string(GetParam().rule) + "\n");

    std::vector<uint8_t> firmware(0x1000);  // 0x0000 to 0x0FFF: 128 rows from 0x0800
    for (size_t a = 0; a < firmware.size(); ++a) firmware[a] = static_cast<uint8_t>(a ^ (a >> 7));
    const auto hexFile = dir / "firmware.hex";
    std::ofstream(hexFile) << hexImageFile(0, firmware);

    auto link = LinkLibrary::load();
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    EXPECT_EQ(link.bootLoad(hexFile.c_str()), OPERATION_FAILURE);

    // The program's next pass: close, wait for a tester (the second one is
    // plugged in), open, load again.
    sim::setAttached(dir, 2);
    EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    ASSERT_EQ(link.bootLoad(hexFile.c_str()), OPERATION_SUCCESS);
    EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);

    const TesterImage loaded = stored(GetParam().loadedTester);
    EXPECT_TRUE(
        std::equal(loaded.flash.begin(), loaded.flash.begin() + 0x0800, tester.flash.begin()))
        << "boot block kept";
    EXPECT_TRUE(std::equal(loaded.flash.begin() + 0x0800, loaded.flash.begin() + 0x1000,
                           firmware.begin() + 0x0800));
    EXPECT_TRUE(std::all_of(loaded.flash.begin() + 0x1000, loaded.flash.end(),
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(loaded.eeprom, tester.eeprom);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimBootLoadTest,
    ::testing::Values(InterruptedLoad{"5 write-timeout", 1}, InterruptedLoad{"480 read-timeout", 1},
                      InterruptedLoad{"100 bad-echo", 1}, InterruptedLoad{"483 bad-echo", 1},
                      InterruptedLoad{"481 short-reply", 1}, InterruptedLoad{"600 short-reply", 1},
                      InterruptedLoad{"700 unplug", 2}));

}  // namespace
}  // namespace ksx4::test
