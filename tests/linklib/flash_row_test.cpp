// The flash row commands boot loading builds on, driven through a fake
// exchange: the row write, its read-back and the comparison.
#include "protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace ksx4::test {
namespace {

using com::ExchangeResult;

class FakeExchange final : public com::PacketExchange {
  public:
    struct Sent {
        std::vector<uint8_t> command;
        uint32_t expected, writeMs, readMs;
    };
    std::vector<Sent> sent;
    std::vector<uint8_t> reply;  // played back, cut to what was expected

    ExchangeResult exchange(const uint8_t* command, uint32_t commandLength, uint8_t* out,
                            uint32_t& replyLength, uint32_t writeMs,
                            uint32_t readMs) noexcept override {
        sent.push_back({{command, command + commandLength}, replyLength, writeMs, readMs});
        const uint32_t n = std::min<uint32_t>(replyLength, static_cast<uint32_t>(reply.size()));
        std::copy_n(reply.begin(), n, out);
        const bool complete = n == replyLength;
        replyLength = n;
        return complete ? ExchangeResult::Complete : ExchangeResult::Short;
    }
};

const uint8_t row[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0xFF};

TEST(FlashRow, WriteSendsTheRowAndWantsItsCodeEchoed) {
    FakeExchange link;
    link.reply = {0x02};
    ASSERT_EQ(com::writeFlashRow(link, 0x7FF0, row), com::protocolOk);
    ASSERT_EQ(link.sent.size(), 1u);
    std::vector<uint8_t> expected = {0x02, 16, 0xF0, 0x7F, 0x00};
    expected.insert(expected.end(), row, row + 16);
    EXPECT_EQ(link.sent[0].command, expected);
    EXPECT_EQ(link.sent[0].expected, 1u);
    EXPECT_EQ(link.sent[0].writeMs, 500u);
    EXPECT_EQ(link.sent[0].readMs, 1000u);

    link.reply = {0x03};
    EXPECT_EQ(com::writeFlashRow(link, 0x0800, row), com::echoMismatch);
    link.reply = {};
    EXPECT_EQ(com::writeFlashRow(link, 0x0800, row), com::exchangeFailed);
}

TEST(FlashRow, ReadBackComparesAllSixteenBytes) {
    FakeExchange link;
    const std::vector<uint8_t> good = [] {
        std::vector<uint8_t> r = {0x01, 16, 0, 0, 0};
        r.insert(r.end(), row, row + 16);
        return r;
    }();
    struct Case {
        const char* name;
        std::vector<uint8_t> reply;
        int expected;
    };
    std::vector<Case> cases = {
        {"same", good, com::protocolOk},
        {"last byte differs", good, com::readBackDiffers},
        {"one byte short", {good.begin(), good.end() - 1}, com::exchangeFailed},
        {"wrong code", good, com::echoMismatch}};
    cases[1].reply[20] = 0xFE;
    cases[3].reply[0] = 0x04;
    for (const Case& c : cases) {
        link.sent.clear();
        link.reply = c.reply;
        EXPECT_EQ(com::verifyFlashRow(link, 0x0810, row), c.expected) << c.name;
        ASSERT_EQ(link.sent.size(), 1u);
        EXPECT_EQ(link.sent[0].command, (std::vector<uint8_t>{0x01, 16, 0x10, 0x08, 0x00}));
        EXPECT_EQ(link.sent[0].expected, 21u);
        EXPECT_EQ(link.sent[0].writeMs, 500u);
        EXPECT_EQ(link.sent[0].readMs, 1000u);
    }
}

}  // namespace
}  // namespace ksx4::test
