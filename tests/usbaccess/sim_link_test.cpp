// The link library's nine exports against the simulated tester.
#include "link_library.h"
#include "sim_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <vector>

namespace ksx4::test {
namespace {

using sim::TesterImage;

constexpr size_t kReportsStart = 0x7500, kReportsEnd = 0x7D00;

TesterImage sample(bool pa = false) {
    sim::SampleOptions options;
    options.pa = pa;
    return sim::sampleTester(options);
}

class SimLinkTest : public SimFolderTest {};

TEST_F(SimLinkTest, ReadsBothMemoriesAndWritesEepromThroughTheFiles) {
    const TesterImage image = sample();
    plugIn(image);
    auto link = LinkLibrary::load();
    ASSERT_EQ(link.getDeviceCount(), 1);
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);

    std::vector<uint8_t> flash(KSX4_FLASH_SIZE);
    ASSERT_EQ(link.readFlash(0, KSX4_FLASH_SIZE, flash.data()), OPERATION_SUCCESS);
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), image.flash.begin()));
    std::array<uint8_t, 256> eeprom{};
    ASSERT_EQ(link.readEeprom(0, 256, eeprom.data()), OPERATION_SUCCESS);
    EXPECT_EQ(eeprom, image.eeprom);

    // Location 8's name ends where the voltage limit begins.
    const std::string name = "Pump House 7   ";
    ASSERT_EQ(link.writeEeprom(221, 15, reinterpret_cast<const uint8_t*>(name.data())),
              OPERATION_SUCCESS);
    const TesterImage after = stored();  // seen by another reader at once
    EXPECT_EQ(std::string(after.eeprom.begin() + 221, after.eeprom.begin() + 236), name);
    EXPECT_TRUE(
        std::equal(after.eeprom.begin() + 236, after.eeprom.end(), image.eeprom.begin() + 236));
    EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);
}

TEST_F(SimLinkTest, EraseKeepsTheBootBlockAndClearsTheApplicationArea) {
    TesterImage image = sample();
    std::fill(image.flash.begin(), image.flash.begin() + 0x800, 0xA5);
    plugIn(image);
    auto link = LinkLibrary::load();
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    ASSERT_EQ(link.eraseFlash(), OPERATION_SUCCESS);
    const TesterImage after = stored();
    EXPECT_TRUE(std::all_of(after.flash.begin(), after.flash.begin() + 0x800,
                            [](uint8_t b) { return b == 0xA5; }));
    EXPECT_TRUE(std::all_of(after.flash.begin() + 0x800, after.flash.end(),
                            [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(SimLinkTest, ErasesReportsAtStartWhenTheIndicatorIsSet) {
    TesterImage flagged = sample();
    sim::setEepromWord(flagged, 114, 0x5555);
    TesterImage unflagged = sample();
    sim::setEepromWord(unflagged, 114, 0x5554);
    plugIn(flagged, 1);
    plugIn(unflagged, 2);
    LinkLibrary::load();  // the simulator starts its testers as it loads

    const TesterImage first = stored(1);
    EXPECT_TRUE(std::all_of(first.flash.begin() + kReportsStart, first.flash.begin() + kReportsEnd,
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(first.eeprom[114], 0);
    EXPECT_EQ(first.eeprom[115], 0);
    EXPECT_TRUE(std::equal(first.flash.begin(), first.flash.begin() + kReportsStart,
                           flagged.flash.begin()));
    EXPECT_EQ(first.flash[32001], flagged.flash[32001]);
    EXPECT_EQ(stored(2).flash, unflagged.flash);
}

TEST_F(SimLinkTest, ErasesReportsWhenResetAfterTheIndicatorWasWritten) {
    const TesterImage image = sample();
    plugIn(image);
    auto link = LinkLibrary::load();
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    const uint8_t indicator[2] = {0x55, 0x55};
    ASSERT_EQ(link.writeEeprom(114, 2, indicator), OPERATION_SUCCESS);
    EXPECT_EQ(stored().flash, image.flash);  // not before the restart
    ASSERT_EQ(link.resetBoard(), OPERATION_SUCCESS);
    const TesterImage after = stored();
    EXPECT_EQ(after.flash[kReportsStart + 255], 0xFF);
    EXPECT_EQ(after.eeprom[114], 0);
    EXPECT_EQ(link.readEeprom(0, 1, std::array<uint8_t, 1>{}.data()), DEVICE_NOT_OPENED_YET);
}

TEST_F(SimLinkTest, FollowsTheAttachedCountBetweenCalls) {
    plugIn(sample(), 1);
    plugIn(sample(true), 2);
    auto link = LinkLibrary::load();
    EXPECT_EQ(link.getDeviceCount(), 2);
    sim::setAttached(dir, 0);
    EXPECT_EQ(link.getDeviceCount(), 0);
    EXPECT_EQ(link.openDevice(0), DEVICE_COULD_NOT_BE_OPENED);
    sim::setAttached(dir, 1);
    EXPECT_EQ(link.getDeviceCount(), 1);
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    std::array<uint8_t, 2> serial{};
    ASSERT_EQ(link.readEeprom(254, 2, serial.data()), OPERATION_SUCCESS);
    EXPECT_LT(serial[0], 0x80);  // instance 0 is tester 1, the KSX-4

    // Unplugged under an open connection: the pipes are dropped and stay
    // dropped after the tester comes back, until the connection is reopened.
    sim::setAttached(dir, 0);
    EXPECT_EQ(link.readEeprom(254, 2, serial.data()), OPERATION_FAILURE);
    sim::setAttached(dir, -1);
    EXPECT_EQ(link.readEeprom(254, 2, serial.data()), OPERATION_FAILURE);
    EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);
    ASSERT_EQ(link.openDevice(1), OPERATION_SUCCESS);
    ASSERT_EQ(link.readEeprom(254, 2, serial.data()), OPERATION_SUCCESS);
    EXPECT_GE(serial[0], 0x80);  // instance 1 is tester 2, the KSX-4-PA
}

enum class Operation { ReadEeprom, ReadFlash, WriteEeprom };

struct FaultCase {
    const char* rule;  // strikes the second exchange
    Operation operation;
    int result;
    int nextResult;  // the same operation again, on the same connection
    int countAfter;
    bool reachedTester;  // for EEPROM writes: the bytes were written
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << '"' << c.rule << '"';
}

class SimFaultTest : public SimLinkTest, public ::testing::WithParamInterface<FaultCase> {};

int run(const LinkLibrary& link, Operation operation, uint8_t* buffer) {
    static const uint8_t data[2] = {0x12, 0x34};
    switch (operation) {
        case Operation::ReadEeprom:
            return link.readEeprom(16, 2, buffer);
        case Operation::ReadFlash:
            return link.readFlash(0x7500, 59, buffer);
        case Operation::WriteEeprom:
            return link.writeEeprom(16, 2, data);  // write plus read-back: 2 exchanges
    }
    return -1;
}

TEST_P(SimFaultTest, StrikesTheChosenExchange) {
    const FaultCase& c = GetParam();
    const TesterImage image = sample();
    plugIn(image);
    sim::setFaults(dir, std::string("# a comment\n\n") + c.rule + "\n");
    auto link = LinkLibrary::load();
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    std::array<uint8_t, 64> buffer{};
    ASSERT_EQ(link.readEeprom(0, 1, buffer.data()), OPERATION_SUCCESS);  // exchange 1

    EXPECT_EQ(run(link, c.operation, buffer.data()), c.result);
    if (c.operation == Operation::WriteEeprom) {
        EXPECT_EQ(stored().eeprom[16] == 0x12, c.reachedTester);
    }
    EXPECT_EQ(run(link, c.operation, buffer.data()), c.nextResult);
    EXPECT_EQ(link.getDeviceCount(), c.countAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimFaultTest,
    ::testing::Values(
        FaultCase{"2 write-timeout", Operation::ReadEeprom, OPERATION_FAILURE, 0, 1, false},
        FaultCase{"2 read-timeout", Operation::ReadEeprom, OPERATION_FAILURE, 0, 1, false},
        FaultCase{"2 short-reply", Operation::ReadEeprom, OPERATION_FAILURE, 0, 1, false},
        // A short flash reply is completed by asking for the missing byte.
        FaultCase{"2 short-reply", Operation::ReadFlash, OPERATION_SUCCESS, 0, 1, false},
        FaultCase{"2 bad-echo", Operation::ReadFlash, OPERATION_FAILURE, 0, 1, false},
        FaultCase{"2 bad-echo", Operation::WriteEeprom, OPERATION_FAILURE, 0, 1, true},
        FaultCase{"2 write-timeout", Operation::WriteEeprom, OPERATION_FAILURE, 0, 1, false},
        FaultCase{"2 read-timeout", Operation::WriteEeprom, OPERATION_FAILURE, 0, 1, true},
        FaultCase{"3 read-timeout", Operation::WriteEeprom, OPERATION_FAILURE, 0, 1, true},
        FaultCase{"2 unplug", Operation::ReadEeprom, OPERATION_FAILURE, OPERATION_FAILURE, 0,
                  false}));

// The report transfer's whole-flash read, with the reply to the chunk that
// holds each slot's status byte one byte short: every byte still comes from
// the tester (slot 1's status byte is the very byte such a reply drops).
TEST_F(SimLinkTest, WholeFlashReadWithShortRepliesAtTheSlotStatusBytesIsExact) {
    const TesterImage image = sample();
    plugIn(image);
    std::string rules;
    for (uint32_t slot = 0; slot < 8; ++slot) {
        const uint32_t statusByte = 29952 + 256 * slot + 255;
        // Exchanges count from 1; each earlier short reply added one request.
        rules += std::to_string(statusByte / 59 + 1 + slot) + " short-reply\n";
    }
    sim::setFaults(dir, rules);
    auto link = LinkLibrary::load();
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);

    std::vector<uint8_t> flash(32767);
    std::transform(image.flash.begin(), image.flash.begin() + 32767, flash.begin(),
                   [](uint8_t b) { return static_cast<uint8_t>(~b); });
    ASSERT_EQ(link.readFlash(0, 32767, flash.data()), OPERATION_SUCCESS);
    EXPECT_TRUE(std::equal(flash.begin(), flash.end(), image.flash.begin()));
    EXPECT_EQ(flash[kReportsStart + 255], image.flash[kReportsStart + 255]);
}

// A damaged state is no tester, and the simulator leaves it as it is.
struct DamageCase {
    const char* name;
    void (*damage)(const std::filesystem::path& dir);
};

void resize(const std::filesystem::path& file, size_t size) {
    std::filesystem::resize_file(file, size);
}

void PrintTo(const DamageCase& c, std::ostream* out) {
    *out << c.name;
}

class SimDamagedStateTest : public SimLinkTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(SimDamagedStateTest, ReportsNoTesterAndTouchesNothing) {
    // Flagged for erase-at-start: a tester nobody can see must not start.
    TesterImage flagged = sample();
    sim::setEepromWord(flagged, 114, 0x5555);
    plugIn(flagged);
    GetParam().damage(dir);
    auto snapshot = [&] {
        std::vector<std::pair<std::string, std::string>> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            files.emplace_back(entry.path().string(),
                               std::string(std::istreambuf_iterator<char>(in), {}));
        }
        std::sort(files.begin(), files.end());
        return files;
    };
    const auto before = snapshot();
    auto link = LinkLibrary::load();
    EXPECT_EQ(link.getDeviceCount(), 0);
    EXPECT_EQ(link.openDevice(0), DEVICE_COULD_NOT_BE_OPENED);
    EXPECT_EQ(snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    States, SimDamagedStateTest,
    ::testing::Values(
        DamageCase{"FlashMissing", [](auto& d) { std::filesystem::remove(d / "1" / "flash.bin"); }},
        DamageCase{"EepromShort", [](auto& d) { resize(d / "1" / "eeprom.bin", 255); }},
        DamageCase{"FlashLong", [](auto& d) { resize(d / "1" / "flash.bin", 32769); }},
        DamageCase{"EepromEmpty", [](auto& d) { resize(d / "1" / "eeprom.bin", 0); }},
        DamageCase{"FaultTypo", [](auto& d) { sim::setFaults(d, "3 read-timout\n"); }},
        DamageCase{"FaultNumberZero", [](auto& d) { sim::setFaults(d, "0 unplug\n"); }},
        DamageCase{"AttachedNotANumber",
                   [](auto& d) { std::ofstream(d / "attached") << "one\n"; }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ksx4::test
