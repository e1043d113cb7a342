#pragma once
// The tester's memory commands. Each command is one packet of at most 64
// bytes answered by one reply packet; every operation returns 0 on success,
// 1 when an exchange failed (or its reply was unusable), 2 when a reply's
// echo did not match, -1 when read-back data differ from what was written.
#include "packet_exchange.h"

#include <cstdint>

namespace ksx4::com {

inline constexpr int protocolOk = 0;
inline constexpr int exchangeFailed = 1;
inline constexpr int echoMismatch = 2;
inline constexpr int readBackDiffers = -1;

inline constexpr uint32_t flashRowSize = 16;
inline constexpr uint32_t maxEepromWrite = 16;
inline constexpr uint32_t eraseBlockSize = 64;

// Reads length bytes from address into buffer, 59 bytes per request. A failed
// chunk stops at once; bytes already copied stay in buffer. A flash read takes
// a short reply and asks for the rest of its chunk again; an EEPROM read needs
// every reply complete.
int readFlash(PacketExchange& link, uint32_t address, uint32_t length, uint8_t* buffer) noexcept;
int readEeprom(PacketExchange& link, uint32_t address, uint32_t length, uint8_t* buffer) noexcept;

// Erases length bytes (a multiple of 64) from start, one 64-byte block per request.
int eraseFlashBlocks(PacketExchange& link, uint32_t start, uint32_t length) noexcept;

// Writes 1 to 16 bytes and reads them back.
int writeEeprom(PacketExchange& link, uint32_t address, const uint8_t* data,
                uint32_t length) noexcept;

// Sends the reset command (empty reply). The caller closes the pipes when it fails.
int resetBoard(PacketExchange& link) noexcept;

// One 16-byte flash row: written, then read back and compared (boot loading).
int writeFlashRow(PacketExchange& link, uint32_t address, const uint8_t* row) noexcept;
int verifyFlashRow(PacketExchange& link, uint32_t address, const uint8_t* row) noexcept;

}  // namespace ksx4::com
