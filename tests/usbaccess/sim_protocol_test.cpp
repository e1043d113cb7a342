// The simulated tester's side of the protocol, its fault rules and its pipe
// handles, without the link library.
#include "fault_rules.h"
#include "mpusbapi.h"
#include "sim_folder.h"
#include "simulator.h"
#include "tester_protocol.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

namespace ksx4::test {
namespace {

using sim::answerPacket;

struct Memories {
    std::array<uint8_t, sim::kFlashSize> flash{};
    std::array<uint8_t, sim::kEepromSize> eeprom{};
    sim::TesterMemories view() { return {flash, eeprom}; }
};

std::vector<uint8_t> packet(uint8_t code, uint8_t count, uint32_t address, size_t dataBytes = 0) {
    std::vector<uint8_t> bytes = {code, count, static_cast<uint8_t>(address),
                                  static_cast<uint8_t>(address >> 8),
                                  static_cast<uint8_t>(address >> 16)};
    for (size_t i = 0; i < dataBytes; ++i) bytes.push_back(static_cast<uint8_t>(0x40 + i));
    return bytes;
}

struct PacketCase {
    const char* name;
    std::vector<uint8_t> request;
    bool answered;
    size_t replySize;
};

void PrintTo(const PacketCase& c, std::ostream* out) {
    *out << c.name;
}

class TesterPacketTest : public ::testing::TestWithParam<PacketCase> {};

TEST_P(TesterPacketTest, AnswersOnlyWhatTheTesterUnderstands) {
    Memories memories;
    memories.flash.fill(0x11);
    const auto before = memories.flash;
    const auto reply = answerPacket(memories.view(), GetParam().request);
    EXPECT_EQ(reply.answered, GetParam().answered);
    EXPECT_EQ(reply.size, GetParam().replySize);
    if (!reply.answered) {
        EXPECT_EQ(memories.flash, before);  // refused: nothing changed
    }
}

INSTANTIATE_TEST_SUITE_P(
    Packets, TesterPacketTest,
    ::testing::Values(PacketCase{"ReadFlash59", packet(0x01, 59, 0x7FC5), true, 64},
                      PacketCase{"ReadFlash60", packet(0x01, 60, 0), false, 0},
                      PacketCase{"ReadFlashPastEnd", packet(0x01, 2, 0x7FFF), false, 0},
                      PacketCase{"ReadEepromLastByte", packet(0x04, 1, 255), true, 6},
                      PacketCase{"ReadEepromPastEnd", packet(0x04, 2, 255), false, 0},
                      PacketCase{"WriteRow", packet(0x02, 16, 0x0800, 16), true, 1},
                      PacketCase{"WriteRowBootBlock", packet(0x02, 16, 0x07F0, 16), false, 0},
                      PacketCase{"WriteRowUnaligned", packet(0x02, 16, 0x0808, 16), false, 0},
                      PacketCase{"WriteRowShort", packet(0x02, 8, 0x0800, 8), false, 0},
                      PacketCase{"WriteRowLastRow", packet(0x02, 16, 0x7FF0, 16), true, 1},
                      PacketCase{"EraseFirstAppBlock", packet(0x03, 1, 0x0800), true, 1},
                      PacketCase{"EraseBootBlock", packet(0x03, 1, 0x07C0), false, 0},
                      PacketCase{"EraseBlockAboveFlash", packet(0x03, 1, 0x8000), false, 0},
                      PacketCase{"WriteEeprom16", packet(0x05, 16, 240, 16), true, 1},
                      PacketCase{"WriteEeprom17", packet(0x05, 17, 0, 17), false, 0},
                      PacketCase{"WriteEepromPastEnd", packet(0x05, 2, 255, 2), false, 0},
                      PacketCase{"WriteEepromCountDisagrees", packet(0x05, 2, 0, 3), false, 0},
                      PacketCase{"Reset", {0xFF}, true, 0},
                      PacketCase{"UnknownCode", packet(0x07, 1, 0), false, 0},
                      PacketCase{"TooShort", {0x01, 1, 0}, false, 0},
                      PacketCase{"TooLong", packet(0x05, 16, 0, 60), false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TesterPacket, ReadRepliesEchoTheHeaderAndWritesLandInMemory) {
    Memories memories;
    for (size_t i = 0; i < memories.eeprom.size(); ++i) memories.eeprom[i] = uint8_t(i);
    const auto request = packet(0x04, 3, 200);
    const auto reply = answerPacket(memories.view(), request);
    ASSERT_EQ(reply.size, 8u);
    EXPECT_TRUE(std::equal(request.begin(), request.end(), reply.bytes.begin()));
    EXPECT_EQ(reply.bytes[5], 200);
    EXPECT_EQ(reply.bytes[7], 202);

    ASSERT_TRUE(answerPacket(memories.view(), packet(0x02, 16, 0x0810, 16)).answered);
    EXPECT_EQ(memories.flash[0x0810], 0x40);
    EXPECT_EQ(memories.flash[0x081F], 0x4F);
    EXPECT_EQ(memories.flash[0x0820], 0x00);
    ASSERT_TRUE(answerPacket(memories.view(), packet(0x03, 1, 0x0840)).answered);
    EXPECT_EQ(memories.flash[0x083F], 0x00);
    EXPECT_EQ(memories.flash[0x0840], 0xFF);
    EXPECT_EQ(memories.flash[0x087F], 0xFF);
    EXPECT_EQ(memories.flash[0x0880], 0x00);
}

TEST(FaultRules, ParsesRulesAndRefusesAnythingElse) {
    const auto plan =
        sim::parseFaultRules("# retry paths\n3 bad-echo\r\n\n 7\tunplug \n3 short-reply");
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->at(3), sim::kBadEcho | sim::kShortReply);
    EXPECT_EQ(plan->at(7), sim::kUnplug);
    EXPECT_EQ(plan->size(), 2u);
    for (const char* bad : {"3", "x read-timeout", "-1 unplug", "0 unplug", "3 Unplug",
                            "3 unplug now", "3unplug", "99999999999999999999 unplug"})
        EXPECT_FALSE(sim::parseFaultRules(bad)) << bad;
}

class SimulatorHandleTest : public SimFolderTest {};

TEST_F(SimulatorHandleTest, RefusesForeignHandlesWrongPipesAndUnansweredReads) {
    plugIn(sim::blankTester(false, 5));
    sim::Simulator simulator;
    EXPECT_EQ(simulator.deviceCount("VID_04D8&PID_FFCA"), 1u);
    EXPECT_EQ(simulator.deviceCount("vid_04d8&pid_ffcb"), 0u);
    EXPECT_EQ(simulator.deviceCount(nullptr), 0u);
    EXPECT_EQ(simulator.open(0, "vid_04d8&pid_ffca", "\\MCHP_EP2", 0), MPUSB_INVALID_HANDLE);
    EXPECT_EQ(simulator.open(1, "vid_04d8&pid_ffca", "\\MCHP_EP1", 0), MPUSB_INVALID_HANDLE);
    EXPECT_EQ(simulator.open(0, "vid_04d8&pid_ffca", "\\MCHP_EP1", 2), MPUSB_INVALID_HANDLE);
    void* out = simulator.open(0, "vid_04d8&pid_ffca", "\\mchp_ep1", 0);
    void* in = simulator.open(0, "vid_04d8&pid_ffca", "\\MCHP_EP1", 1);
    ASSERT_NE(out, MPUSB_INVALID_HANDLE);
    ASSERT_NE(in, MPUSB_INVALID_HANDLE);

    uint8_t reply[64];
    uint32_t count = 99;
    EXPECT_EQ(simulator.read(in, reply, 64, &count).error, ETIMEDOUT);  // nothing asked
    const uint8_t unknown[5] = {0x09, 0, 0, 0, 0};
    EXPECT_EQ(simulator.write(out, unknown, 5, &count).result, 1u);
    EXPECT_EQ(simulator.read(in, reply, 64, &count).error, ETIMEDOUT);  // no reply to it
    EXPECT_EQ(simulator.write(in, unknown, 5, &count).error, EINVAL);
    int local = 0;
    EXPECT_EQ(simulator.write(&local, unknown, 5, &count).error, MPUSB_ERROR_INVALID_HANDLE);

    const uint8_t readSerial[5] = {0x04, 2, 254, 0, 0};
    ASSERT_EQ(simulator.write(out, readSerial, 5, &count).result, 1u);
    ASSERT_EQ(simulator.read(in, reply, 64, &count).result, 1u);
    EXPECT_EQ(count, 7u);
    EXPECT_EQ(reply[5] << 8 | reply[6], 5);

    EXPECT_EQ(simulator.close(out).result, 1u);
    EXPECT_EQ(simulator.close(out).error, MPUSB_ERROR_INVALID_HANDLE);
    EXPECT_EQ(simulator.close(in).result, 1u);
}

}  // namespace
}  // namespace ksx4::test
