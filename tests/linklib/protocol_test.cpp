// The command packets each export sends, their time-outs, and how each
// command treats a reply that is short, too long or echoes the wrong bytes.
#include "scripted_tester.h"

#include <cerrno>
#include <cstring>
#include <functional>

namespace ksx4::test {
namespace {

using Protocol = ScriptedTester;

std::vector<uint8_t> header(uint8_t code, uint8_t count, uint32_t address) {
    return {code, count, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8),
            static_cast<uint8_t>(address >> 16)};
}

TEST_F(Protocol, EepromReadOf60BytesTakesTwoRequests) {
    openTester();
    uint8_t buffer[60];
    ASSERT_EQ(TessCommReadEEMemory(0, 60, buffer), OPERATION_SUCCESS);
    const auto sent = packets();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].bytes, header(0x04, 59, 0));
    EXPECT_EQ(sent[1].bytes, header(0x04, 1, 59));
    EXPECT_EQ(sent[0].replyAskedFor, 64u);
    EXPECT_EQ(sent[1].replyAskedFor, 6u);
    for (const Packet& p : sent) {
        EXPECT_EQ(p.writeTimeoutMs, 1000u);
        EXPECT_EQ(p.readTimeoutMs, 1000u);
    }
    EXPECT_EQ(0, std::memcmp(buffer, scriptedUsbEeprom(), 60));
}

TEST_F(Protocol, FlashReadOf32767BytesTakes556Requests) {
    openTester();
    std::vector<uint8_t> buffer(32767);
    ASSERT_EQ(TessCommReadFlashMemory(0, 32767, buffer.data()), OPERATION_SUCCESS);
    const auto sent = packets();
    ASSERT_EQ(sent.size(), 556u);
    for (uint32_t i = 0; i < 555; ++i) {
        ASSERT_EQ(sent[i].bytes, header(0x01, 59, i * 59)) << i;
    }
    EXPECT_EQ(sent[555].bytes, header(0x01, 22, 0x7FE9));
    EXPECT_EQ(sent[555].replyAskedFor, 27u);
    EXPECT_EQ(sent[0].writeTimeoutMs, 1000u);
    EXPECT_EQ(sent[0].readTimeoutMs, 3000u);
    EXPECT_EQ(0, std::memcmp(buffer.data(), scriptedUsbFlash(), buffer.size()));
}

TEST_F(Protocol, EepromWriteOf16BytesIsWrittenThenReadBack) {
    openTester();
    uint8_t data[16];
    for (uint8_t i = 0; i < 16; ++i) data[i] = static_cast<uint8_t>(0x30 + i);
    ASSERT_EQ(TessCommWriteEEMemory(240, 16, data), OPERATION_SUCCESS);
    const auto sent = packets();
    ASSERT_EQ(sent.size(), 2u);
    auto write = header(0x05, 16, 240);
    write.insert(write.end(), data, data + 16);
    EXPECT_EQ(sent[0].bytes, write);
    EXPECT_EQ(sent[0].replyAskedFor, 1u);
    EXPECT_EQ(sent[0].writeTimeoutMs, 1000u);
    EXPECT_EQ(sent[0].readTimeoutMs, 1000u);
    EXPECT_EQ(sent[1].bytes, header(0x04, 16, 240));
    EXPECT_EQ(sent[1].replyAskedFor, 21u);
    EXPECT_EQ(sent[1].writeTimeoutMs, 500u);
    EXPECT_EQ(sent[1].readTimeoutMs, 1000u);
    EXPECT_EQ(0, std::memcmp(scriptedUsbEeprom() + 240, data, 16));
}

TEST_F(Protocol, EraseCoversTheApplicationAreaIn480Blocks) {
    openTester();
    ASSERT_EQ(TessCommEraseFlash(), OPERATION_SUCCESS);
    const auto sent = packets();
    ASSERT_EQ(sent.size(), 480u);
    for (uint32_t i = 0; i < 480; ++i) {
        ASSERT_EQ(sent[i].bytes, header(0x03, 1, 0x0800 + 64 * i)) << i;
        ASSERT_EQ(sent[i].replyAskedFor, 1u);
    }
    EXPECT_EQ(sent[0].writeTimeoutMs, 1000u);
    EXPECT_EQ(sent[0].readTimeoutMs, 5000u);
    EXPECT_EQ(scriptedUsbFlash()[0x07FF], uint8_t(0x07FF * 7 + 0x07)) << "boot block kept";
    EXPECT_EQ(scriptedUsbFlash()[0x0800], 0xFF);
    EXPECT_EQ(scriptedUsbFlash()[0x7FFF], 0xFF);
}

TEST_F(Protocol, ResetSendsOneByteAndEndsTheConnectionEvenWhenItFails) {
    for (bool fails : {false, true}) {
        SCOPED_TRACE(fails);
        openTester();
        if (fails) scriptedUsbFault(1, SCRIPTED_READ_FAILS, ETIMEDOUT, 0);
        EXPECT_EQ(TessCommResetBoard(), OPERATION_SUCCESS);
        const auto sent = packets();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].bytes, std::vector<uint8_t>{0xFF});
        EXPECT_EQ(sent[0].replyAskedFor, 0u);
        EXPECT_EQ(sent[0].writeTimeoutMs, 500u);
        EXPECT_EQ(sent[0].readTimeoutMs, 1000u);
        EXPECT_EQ(calls(SCRIPTED_CLOSE).size(), 2u);
        EXPECT_EQ(TessCommCloseDevice(), DEVICE_NOT_OPENED_YET);
    }
}

struct ReplyFault {
    const char* name;
    std::function<int32_t()> operation;
    uint32_t exchange;  // the exchange that goes wrong
    ScriptedFaultKind kind;
    int32_t value;
    uint32_t index;
    uint32_t exchangesSent;  // the operation stops right after the bad reply
};

uint8_t readBuffer[200];
const uint8_t written[4] = {0x11, 0x22, 0x33, 0x44};

int32_t readFlash118() {
    return TessCommReadFlashMemory(0x100, 118, readBuffer);
}
int32_t readEeprom100() {
    return TessCommReadEEMemory(0, 100, readBuffer);
}
int32_t writeEeprom4() {
    return TessCommWriteEEMemory(8, 4, written);
}
int32_t eraseFlash() {
    return TessCommEraseFlash();
}

TEST_F(Protocol, BadRepliesFailTheOperationAtOnce) {
    const ReplyFault cases[] = {
        {"flash: code not echoed", readFlash118, 1, SCRIPTED_REPLY_BYTE, 0x04, 0, 1},
        {"flash: count not echoed", readFlash118, 2, SCRIPTED_REPLY_BYTE, 58, 1, 2},
        {"flash: header only, no data byte", readFlash118, 1, SCRIPTED_REPLY_LENGTH, 5, 0, 1},
        {"flash: shorter than header", readFlash118, 2, SCRIPTED_REPLY_LENGTH, 3, 0, 2},
        {"flash: empty", readFlash118, 1, SCRIPTED_REPLY_LENGTH, 0, 0, 1},
        {"flash: more received than asked", readFlash118, 1, SCRIPTED_CLAIM_RECEIVED, 65, 0, 1},
        {"flash: read times out", readFlash118, 2, SCRIPTED_READ_FAILS, ETIMEDOUT, 0, 2},
        {"flash: write times out", readFlash118, 1, SCRIPTED_WRITE_FAILS, ETIMEDOUT, 0, 1},
        {"EEPROM: code not echoed", readEeprom100, 2, SCRIPTED_REPLY_BYTE, 0x01, 0, 2},
        {"EEPROM: count not echoed", readEeprom100, 1, SCRIPTED_REPLY_BYTE, 41, 1, 1},
        {"EEPROM: one byte short", readEeprom100, 2, SCRIPTED_REPLY_LENGTH, 45, 0, 2},
        {"EEPROM write: wrong echo", writeEeprom4, 1, SCRIPTED_REPLY_BYTE, 0x04, 0, 1},
        {"EEPROM write: no reply", writeEeprom4, 1, SCRIPTED_REPLY_LENGTH, 0, 0, 1},
        {"EEPROM read-back: wrong echo", writeEeprom4, 2, SCRIPTED_REPLY_BYTE, 0x05, 0, 2},
        {"EEPROM read-back: short", writeEeprom4, 2, SCRIPTED_REPLY_LENGTH, 8, 0, 2},
        {"EEPROM read-back: data differ", writeEeprom4, 2, SCRIPTED_REPLY_BYTE, 0x45, 8, 2},
        {"erase: wrong echo", eraseFlash, 3, SCRIPTED_REPLY_BYTE, 0x02, 0, 3},
        {"erase: no reply", eraseFlash, 5, SCRIPTED_REPLY_LENGTH, 0, 0, 5},
    };
    openTester();
    for (const ReplyFault& c : cases) {
        forgetCalls();
        scriptedUsbFault(c.exchange, c.kind, c.value, c.index);
        EXPECT_EQ(c.operation(), OPERATION_FAILURE) << c.name;
        EXPECT_EQ(scriptedUsbExchangeCount(), c.exchangesSent) << c.name;
    }
    forgetCalls();
    EXPECT_EQ(readFlash118(), OPERATION_SUCCESS) << "the pipes stay open after such failures";
}

struct ShortFlashReply {
    uint32_t exchange;
    int32_t replyLength;
};

struct ShortFlashReadCase {
    const char* name;
    std::vector<ShortFlashReply> shortReplies;
    std::vector<std::pair<uint8_t, uint32_t>> requests;  // count, address
};

// A short flash reply keeps its data bytes and the rest of its chunk is asked
// for again; the next chunk then starts at its usual address.
TEST_F(Protocol, ShortFlashRepliesAreCompletedByAskingForTheRest) {
    const ShortFlashReadCase cases[] = {
        {"first chunk one byte short", {{1, 63}}, {{59, 0}, {1, 58}, {41, 59}}},
        {"one data byte, twice", {{1, 6}, {2, 6}}, {{59, 0}, {58, 1}, {57, 2}, {41, 59}}},
        {"the asked-for rest short again",
         {{1, 33}, {2, 20}},
         {{59, 0}, {31, 28}, {16, 43}, {41, 59}}},
        {"last chunk short", {{2, 45}}, {{59, 0}, {41, 59}, {1, 99}}},
    };
    openTester();
    for (const ShortFlashReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        forgetCalls();
        for (const ShortFlashReply& r : c.shortReplies) {
            scriptedUsbFault(r.exchange, SCRIPTED_REPLY_LENGTH, r.replyLength, 0);
        }
        std::memset(readBuffer, 0xEE, sizeof readBuffer);
        ASSERT_EQ(TessCommReadFlashMemory(0, 100, readBuffer), OPERATION_SUCCESS);
        const auto sent = packets();
        ASSERT_EQ(sent.size(), c.requests.size());
        for (size_t i = 0; i < sent.size(); ++i) {
            const auto [count, address] = c.requests[i];
            EXPECT_EQ(sent[i].bytes, header(0x01, count, address)) << i;
            EXPECT_EQ(sent[i].replyAskedFor, count + 5u) << i;
            EXPECT_EQ(sent[i].readTimeoutMs, 3000u) << i;
        }
        EXPECT_EQ(0, std::memcmp(readBuffer, scriptedUsbFlash(), 100));
        EXPECT_EQ(readBuffer[100], 0xEE) << "nothing past the read";
    }
}

TEST_F(Protocol, ChunksCopiedBeforeAFailedChunkStayInTheBuffer) {
    openTester();
    std::memset(readBuffer, 0xEE, sizeof readBuffer);
    scriptedUsbFault(2, SCRIPTED_REPLY_BYTE, 0x00, 0);
    ASSERT_EQ(readFlash118(), OPERATION_FAILURE);
    EXPECT_EQ(0, std::memcmp(readBuffer, scriptedUsbFlash() + 0x100, 59));
    EXPECT_EQ(readBuffer[59], 0xEE);
    EXPECT_EQ(readBuffer[117], 0xEE);
}

}  // namespace
}  // namespace ksx4::test
