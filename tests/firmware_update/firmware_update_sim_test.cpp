// The update through the real link library into the simulated tester:
// firmware assembled by gpasm lands in the flash as srec_cat converts it, a
// wrong kind or a cancel leaves the tester as it was, and a load cut short by
// any transmission fault is taken again on the next pass.
#include "core/program_state.h"
#include "firmware/firmware_update.h"
#include "firmware_fixture.h"
#include "intel_hex_text.h"
#include "platform/link_library.h"
#include "scripted_operator.h"
#include "tester_image.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace ksx4::test {
namespace {

constexpr size_t kApplicationStart = 0x0800;

class FirmwareSimTest : public ::testing::Test {
  protected:
    FirmwareSimTest() {
        simDir = std::filesystem::path(root.path().toStdString()) / "tester";
        std::filesystem::create_directories(simDir);
        ::setenv("KSX4_SIM_DIR", simDir.c_str(), 1);
    }

    // A tester of the kind whose boot block and application area hold
    // recognisable bytes.
    void putTester(bool pa, int index = 1) {
        before = sim::sampleTester({.pa = pa});
        for (size_t a = 0; a < before.flash.size(); ++a)
            before.flash[a] = static_cast<uint8_t>(a % 251);
        ASSERT_TRUE(sim::writeTester(simDir, index, before));
    }
    sim::TesterImage stored(int index = 1) const {
        sim::TesterImage image;
        EXPECT_TRUE(sim::readTester(simDir, index, image));
        return image;
    }
    void choose(const std::filesystem::path& file) {
        ui.openDialogs.push_back({false, QString::fromStdString(file.string()), {}});
    }

    QTemporaryDir root;
    std::filesystem::path simDir;
    sim::TesterImage before;
    VirtualClock clock;
    ScriptedOperator ui{clock};
    LinkLibrary link;
    ProgramState state{ui, clock, link};
};

struct GpasmCase {
    const char* source;
    bool paTester;
    bool dosLineEnds;
    Outcome outcome;
};

void PrintTo(const GpasmCase& c, std::ostream* out) {
    *out << c.source << (c.paTester ? " on a KSX-4-PA" : " on a KSX-4");
}

class GpasmFirmwareTest : public FirmwareSimTest,
                          public ::testing::WithParamInterface<GpasmCase> {};

TEST_P(GpasmFirmwareTest, LoadsFirmwareOfTheTestersKindOnly) {
    if (!haveTool("gpasm") || !haveTool("srec_cat")) {
        GTEST_SKIP() << "needs gpasm (Debian gputils) and srec_cat (Debian srecord)";
    }
    const GpasmCase& c = GetParam();
    std::string problem;
    const auto hexFile = assembleFirmware(c.source, simDir, c.dosLineEnds, &problem);
    ASSERT_TRUE(hexFile) << problem;
    const auto application = applicationAreaBySrecCat(*hexFile, &problem);
    ASSERT_TRUE(application) << problem;
    putTester(c.paTester);
    choose(*hexFile);

    EXPECT_EQ(cmdloadflash_Click(state), c.outcome);

    EXPECT_EQ(state.firmwareMarker, (*application)[32001 - kApplicationStart]);
    const sim::TesterImage loaded = stored();
    EXPECT_EQ(loaded.eeprom, before.eeprom) << "the file's EEPROM data is never written";
    EXPECT_TRUE(std::equal(loaded.flash.begin(), loaded.flash.begin() + kApplicationStart,
                           before.flash.begin()))
        << "boot block kept";
    if (c.outcome == Outcome::Done) {
        EXPECT_EQ(ui.status(), "KSX-4 firmware loaded.  Ready...");
        EXPECT_TRUE(std::equal(application->begin(), application->end(),
                               loaded.flash.begin() + kApplicationStart));
    } else {
        EXPECT_EQ(loaded.flash, before.flash);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Gpasm, GpasmFirmwareTest,
    ::testing::Values(GpasmCase{"ksx4_firmware", false, false, Outcome::Done},
                      GpasmCase{"ksx4pa_firmware", true, true, Outcome::Done},
                      GpasmCase{"ksx4pa_firmware", false, false, Outcome::Refused},
                      GpasmCase{"ksx4_firmware", true, true, Outcome::Refused}),
    [](const auto& info) {
        return std::string(info.param.source) + (info.param.paTester ? "_OnPa" : "_OnKsx4");
    });

// 0x0000 to 0x0FFF: the boot block's rows are not written, then 128 rows.
std::filesystem::path writeSmallFirmware(const std::filesystem::path& dir,
                                         std::vector<uint8_t>& bytes) {
    bytes.resize(0x1000);
    for (size_t a = 0; a < bytes.size(); ++a) bytes[a] = static_cast<uint8_t>(a * 7 + 3);
    const auto file = dir / "small.hex";
    std::ofstream(file) << hexImageFile(0, bytes);
    return file;
}

TEST_F(FirmwareSimTest, CancelAtTheConfirmationLeavesTheTesterUntouched) {
    putTester(false);
    std::vector<uint8_t> firmware;
    choose(writeSmallFirmware(simDir, firmware));
    ui.answers.push_back(Answer::Cancel);

    EXPECT_EQ(cmdloadflash_Click(state), Outcome::Cancelled);

    const sim::TesterImage after = stored();
    EXPECT_EQ(after.flash, before.flash);
    EXPECT_EQ(after.eeprom, before.eeprom);
    EXPECT_EQ(ui.status(), "Ready");
}

struct FaultCase {
    const char* rule;
    bool unplugs;
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << '"' << c.rule << '"';
}

class InterruptedUpdateTest : public FirmwareSimTest,
                              public ::testing::WithParamInterface<FaultCase> {};

// Exchange 1 reads the tester's type, 2 to 481 erase, 482 writes the first
// row and 483 reads it back.
TEST_P(InterruptedUpdateTest, RetriesOverANewConnectionAndLoadsTheWholeFile) {
    const FaultCase& c = GetParam();
    putTester(false, 1);
    putTester(false, 2);
    sim::setAttached(simDir, 1);
    sim::setFaults(simDir, std::string(c.rule) + "\n");
    // The unplugged tester is gone: the next pass finds the other one.
    ui.onMessage = [this](const ShownMessage& shown) {
        if (shown.text.startsWith("Unable to find a connected KSX-4")) sim::setAttached(simDir, 2);
    };
    std::vector<uint8_t> firmware;
    choose(writeSmallFirmware(simDir, firmware));

    EXPECT_EQ(cmdloadflash_Click(state), Outcome::Done);

    EXPECT_EQ(std::count(ui.statusHistory.begin(), ui.statusHistory.end(),
                         "Data transmission error, retrying..."),
              1);
    const sim::TesterImage loaded = stored(c.unplugs ? 2 : 1);
    EXPECT_TRUE(std::equal(loaded.flash.begin(), loaded.flash.begin() + kApplicationStart,
                           before.flash.begin()));
    EXPECT_TRUE(std::equal(loaded.flash.begin() + kApplicationStart, loaded.flash.begin() + 0x1000,
                           firmware.begin() + kApplicationStart));
    EXPECT_TRUE(std::all_of(loaded.flash.begin() + 0x1000, loaded.flash.end(),
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(ui.status(), "KSX-4 firmware loaded.  Ready...");
}

INSTANTIATE_TEST_SUITE_P(Faults, InterruptedUpdateTest,
                         ::testing::Values(FaultCase{"3 write-timeout", false},
                                           FaultCase{"481 read-timeout", false},
                                           FaultCase{"482 bad-echo", false},
                                           FaultCase{"483 short-reply", false},
                                           FaultCase{"600 unplug", true}));

}  // namespace
}  // namespace ksx4::test
