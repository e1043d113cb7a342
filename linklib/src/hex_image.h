#pragma once
// What an Intel HEX file gives, per memory area: the bytes at their own
// addresses and a mask of the positions the file gives, in rows of 16. Only
// the program memory is ever programmed; the ID locations, the configuration
// and the EEPROM are read and kept apart.
#include <cstdint>
#include <vector>

namespace ksx4::com {

inline constexpr uint32_t hexRowSize = 16;

class HexArea {
  public:
    // The addresses start .. start + size - 1 (size a multiple of 16).
    HexArea(uint32_t start, uint32_t size) : start_(start), size_(size) {}

    uint32_t start() const { return start_; }
    uint32_t size() const { return size_; }
    // True when address .. address + count - 1 all lie inside the area.
    bool holds(uint64_t address, uint32_t count) const;

    // Gives the byte at an address inside the area. False, and nothing
    // changes, when the file gave a different byte for it before.
    bool give(uint32_t address, uint8_t value);

    bool empty() const { return bytes_.empty(); }
    // Bit i set: the file gives the byte at rowAddress + i. rowAddress is a
    // multiple of 16 inside the area.
    uint16_t rowMask(uint32_t rowAddress) const;
    // The 16 bytes of a row; 0xFF (erased flash) where the file gives nothing.
    const uint8_t* row(uint32_t rowAddress) const;

  private:
    uint32_t start_;
    uint32_t size_;
    std::vector<uint8_t> bytes_;      // size_ bytes once the first byte is given
    std::vector<uint16_t> rowMasks_;  // one per row
};

// The four areas by the upper 16 bits of the linear address (the segment).
// The program memory takes segments 0x0000 to 0x001F, but only the tester's
// 32 KB of flash can hold data.
struct HexImage {
    HexArea programMemory{0x000000, 0x8000};
    HexArea idLocations{0x200000, 0x10000};    // segment 0x0020
    HexArea configuration{0x300000, 0x10000};  // segment 0x0030
    HexArea eeprom{0xF00000, 0x10000};         // segment 0x00F0
};

}  // namespace ksx4::com
