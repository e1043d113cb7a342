#include "tester_protocol.h"

#include <algorithm>
#include <cstring>

namespace ksx4::sim {
namespace {

enum Command : uint8_t {
    kReadFlash = 0x01,
    kWriteFlash = 0x02,
    kEraseFlash = 0x03,
    kReadEeprom = 0x04,
    kWriteEeprom = 0x05,
    kReset = 0xFF,
};

constexpr size_t kHeader = 5;
constexpr size_t kMaxReadCount = kMaxPacket - kHeader;  // 59
constexpr size_t kAppAreaStart = 0x0800;
constexpr size_t kFlashRow = 16;
constexpr size_t kEraseBlock = 64;
constexpr size_t kMaxEepromWrite = 16;
constexpr size_t kReportsStart = 0x7500;
constexpr size_t kReportsEnd = 0x7D00;
constexpr size_t kEraseIndicator = 114;

Reply silence() {
    return {};
}

Reply echoCode(uint8_t code) {
    Reply reply;
    reply.answered = true;
    reply.bytes[0] = code;
    reply.size = 1;
    return reply;
}

Reply readReply(std::span<const uint8_t> request, std::span<const uint8_t> memory, size_t address,
                size_t count) {
    if (count > kMaxReadCount || address + count > memory.size()) return silence();
    Reply reply;
    reply.answered = true;
    std::memcpy(reply.bytes.data(), request.data(), kHeader);
    std::memcpy(reply.bytes.data() + kHeader, memory.data() + address, count);
    reply.size = kHeader + count;
    return reply;
}

}  // namespace

Reply answerPacket(const TesterMemories& memories, std::span<const uint8_t> request) {
    if (request.size() == 1 && request[0] == kReset) {
        Reply reply;
        reply.answered = true;
        reply.restart = true;
        return reply;
    }
    if (request.size() < kHeader || request.size() > kMaxPacket) return silence();
    const uint8_t code = request[0];
    const size_t count = request[1];
    const size_t address = request[2] | (request[3] << 8) | (size_t{request[4]} << 16);
    const auto data = request.subspan(kHeader);

    switch (code) {
        case kReadFlash:
            return readReply(request, memories.flash, address, count);
        case kReadEeprom:
            return readReply(request, memories.eeprom, address, count);
        case kWriteFlash:
            // Whole 16-byte rows of the application area only; the boot block
            // is never written.
            if (count != kFlashRow || data.size() != kFlashRow || address % kFlashRow != 0 ||
                address < kAppAreaStart || address + kFlashRow > kFlashSize)
                return silence();
            std::memcpy(memories.flash.data() + address, data.data(), kFlashRow);
            return echoCode(code);
        case kEraseFlash: {
            const size_t block = address & ~(kEraseBlock - 1);
            if (count != 1 || block < kAppAreaStart || block + kEraseBlock > kFlashSize)
                return silence();
            std::memset(memories.flash.data() + block, 0xFF, kEraseBlock);
            return echoCode(code);
        }
        case kWriteEeprom:
            if (count == 0 || count > kMaxEepromWrite || data.size() != count ||
                address + count > kEepromSize)
                return silence();
            std::memcpy(memories.eeprom.data() + address, data.data(), count);
            return echoCode(code);
        default:
            return silence();
    }
}

bool startTester(const TesterMemories& memories) {
    uint8_t* indicator = memories.eeprom.data() + kEraseIndicator;
    if (indicator[0] != 0x55 || indicator[1] != 0x55) return false;
    std::fill(memories.flash.data() + kReportsStart, memories.flash.data() + kReportsEnd, 0xFF);
    indicator[0] = 0x00;
    indicator[1] = 0x00;
    return true;
}

}  // namespace ksx4::sim
