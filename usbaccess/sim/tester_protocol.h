#pragma once
// The tester's side of the command protocol: one command packet in, at most
// one reply packet out, applied to the tester's two memories.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ksx4::sim {

inline constexpr size_t kFlashSize = 32768;
inline constexpr size_t kEepromSize = 256;
inline constexpr size_t kMaxPacket = 64;

struct TesterMemories {
    std::span<uint8_t, kFlashSize> flash;
    std::span<uint8_t, kEepromSize> eeprom;
};

struct Reply {
    bool answered = false;  // false: the tester stays silent (the host times out)
    bool restart = false;   // the tester restarts after sending the reply
    std::array<uint8_t, kMaxPacket> bytes{};
    size_t size = 0;
};

// Runs one command packet. Writes go straight into the memories.
Reply answerPacket(const TesterMemories& memories, std::span<const uint8_t> request);

// What the tester does when it starts: with the erase-all indicator 0x5555 at
// EEPROM 114 it erases its eight report slots and clears the indicator.
// Returns true when it erased.
bool startTester(const TesterMemories& memories);

}  // namespace ksx4::sim
