#include "protocol.h"

#include <algorithm>
#include <cstring>

namespace ksx4::com {
namespace {

enum Command : uint8_t {
    CMD_READ_FLASH = 0x01,
    CMD_WRITE_FLASH = 0x02,
    CMD_ERASE_FLASH = 0x03,
    CMD_READ_EEPROM = 0x04,
    CMD_WRITE_EEPROM = 0x05,
    CMD_RESET = 0xFF,
};

constexpr uint32_t headerSize = 5;
constexpr uint32_t maxPacket = 64;
constexpr uint32_t maxReadChunk = maxPacket - headerSize;  // 59

struct Timeouts {
    uint32_t writeMs;
    uint32_t readMs;
};
constexpr Timeouts readFlashTimeouts{1000, 3000};
constexpr Timeouts readEepromTimeouts{1000, 1000};
constexpr Timeouts eraseTimeouts{1000, 5000};
constexpr Timeouts writeEepromTimeouts{1000, 1000};
constexpr Timeouts readBackTimeouts{500, 1000};  // EEPROM and flash-row read-back
constexpr Timeouts writeFlashTimeouts{500, 1000};
constexpr Timeouts resetTimeouts{500, 1000};

// Command header: code, count, 24-bit address low byte first.
void putHeader(uint8_t* packet, Command code, uint32_t count, uint32_t address) {
    packet[0] = code;
    packet[1] = static_cast<uint8_t>(count);
    packet[2] = static_cast<uint8_t>(address);
    packet[3] = static_cast<uint8_t>(address >> 8);
    packet[4] = static_cast<uint8_t>(address >> 16);
}

// One request expecting exactly replyLength bytes, whose byte 0 echoes the code.
int commandWithEcho(PacketExchange& link, const uint8_t* request, uint32_t requestLength,
                    uint8_t* reply, uint32_t replyLength, Timeouts timeouts) {
    uint32_t received = replyLength;
    const ExchangeResult result =
        link.exchange(request, requestLength, reply, received, timeouts.writeMs, timeouts.readMs);
    if (result != ExchangeResult::Complete) return exchangeFailed;
    if (reply[0] != request[0]) return echoMismatch;
    return protocolOk;
}

// What a chunked read makes of a reply that brings fewer bytes than asked.
enum class ShortReply { Fails, AskForTheRest };

// Chunked read, at most 59 bytes per request. With AskForTheRest a short
// reply keeps the data bytes it carries and the missing rest of the chunk is
// asked for again from the first missing address, so every byte the caller
// gets came from the tester; a reply without any data byte fails the read.
int readChunks(PacketExchange& link, Command code, Timeouts timeouts, ShortReply shortReply,
               uint32_t address, uint32_t length, uint8_t* buffer) {
    uint8_t request[headerSize];
    uint8_t reply[maxPacket];
    for (uint32_t chunkStart = 0; chunkStart != length;) {
        const uint32_t chunkEnd = chunkStart + std::min(length - chunkStart, maxReadChunk);
        for (uint32_t offset = chunkStart; offset != chunkEnd;) {
            const uint32_t count = chunkEnd - offset;
            putHeader(request, code, count, address + offset);
            uint32_t received = count + headerSize;
            const ExchangeResult result = link.exchange(request, headerSize, reply, received,
                                                        timeouts.writeMs, timeouts.readMs);
            const bool usable = result == ExchangeResult::Complete ||
                                (result == ExchangeResult::Short &&
                                 shortReply == ShortReply::AskForTheRest && received > headerSize);
            if (!usable) return exchangeFailed;
            if (reply[0] != request[0] || reply[1] != request[1]) return echoMismatch;
            const uint32_t carried = received - headerSize;
            std::memcpy(buffer + offset, reply + headerSize, carried);
            offset += carried;
        }
        chunkStart = chunkEnd;
    }
    return protocolOk;
}

}  // namespace

int readFlash(PacketExchange& link, uint32_t address, uint32_t length, uint8_t* buffer) noexcept {
    return readChunks(link, CMD_READ_FLASH, readFlashTimeouts, ShortReply::AskForTheRest, address,
                      length, buffer);
}

int readEeprom(PacketExchange& link, uint32_t address, uint32_t length, uint8_t* buffer) noexcept {
    return readChunks(link, CMD_READ_EEPROM, readEepromTimeouts, ShortReply::Fails, address, length,
                      buffer);
}

int eraseFlashBlocks(PacketExchange& link, uint32_t start, uint32_t length) noexcept {
    uint8_t request[headerSize];
    uint8_t reply[1];
    for (uint32_t offset = 0; offset < length; offset += eraseBlockSize) {
        putHeader(request, CMD_ERASE_FLASH, 1, start + offset);
        const int result = commandWithEcho(link, request, headerSize, reply, 1, eraseTimeouts);
        if (result != protocolOk) return result;
    }
    return protocolOk;
}

int writeEeprom(PacketExchange& link, uint32_t address, const uint8_t* data,
                uint32_t length) noexcept {
    if (length == 0 || length > maxEepromWrite) return exchangeFailed;  // never sent
    uint8_t request[headerSize + maxEepromWrite];
    uint8_t reply[headerSize + maxEepromWrite];
    putHeader(request, CMD_WRITE_EEPROM, length, address);
    std::memcpy(request + headerSize, data, length);
    int result = commandWithEcho(link, request, headerSize + length, reply, 1, writeEepromTimeouts);
    if (result != protocolOk) return result;

    putHeader(request, CMD_READ_EEPROM, length, address);
    result =
        commandWithEcho(link, request, headerSize, reply, headerSize + length, readBackTimeouts);
    if (result != protocolOk) return result;
    return std::memcmp(reply + headerSize, data, length) == 0 ? protocolOk : readBackDiffers;
}

int resetBoard(PacketExchange& link) noexcept {
    const uint8_t request[1] = {CMD_RESET};
    uint8_t reply[1];
    uint32_t received = 0;
    const ExchangeResult result =
        link.exchange(request, 1, reply, received, resetTimeouts.writeMs, resetTimeouts.readMs);
    return result == ExchangeResult::Complete ? protocolOk : exchangeFailed;
}

int writeFlashRow(PacketExchange& link, uint32_t address, const uint8_t* row) noexcept {
    uint8_t request[headerSize + flashRowSize];
    uint8_t reply[1];
    putHeader(request, CMD_WRITE_FLASH, flashRowSize, address);
    std::memcpy(request + headerSize, row, flashRowSize);
    return commandWithEcho(link, request, sizeof request, reply, 1, writeFlashTimeouts);
}

int verifyFlashRow(PacketExchange& link, uint32_t address, const uint8_t* row) noexcept {
    uint8_t request[headerSize];
    uint8_t reply[headerSize + flashRowSize];
    putHeader(request, CMD_READ_FLASH, flashRowSize, address);
    const int result =
        commandWithEcho(link, request, headerSize, reply, sizeof reply, readBackTimeouts);
    if (result != protocolOk) return result;
    return std::memcmp(reply + headerSize, row, flashRowSize) == 0 ? protocolOk : readBackDiffers;
}

}  // namespace ksx4::com
