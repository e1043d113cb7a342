#pragma once
// Intel HEX text for tests and benchmarks: single records with their
// checksums, and whole files of an image.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ksx4::test {

// One record line without its line break.
std::string hexRecord(uint8_t type, uint16_t address, const std::vector<uint8_t>& data);
inline std::string hexData(uint16_t address, const std::vector<uint8_t>& data) {
    return hexRecord(0x00, address, data);
}
// Extended linear address record: the upper 16 bits of the addresses after it.
inline std::string hexSegment(uint16_t segment) {
    return hexRecord(0x04, 0, {static_cast<uint8_t>(segment >> 8), static_cast<uint8_t>(segment)});
}
inline std::string hexEnd() {
    return ":00000001FF";
}

// The lines joined, each followed by "\n".
std::string hexLines(const std::vector<std::string>& lines);

// The bytes from address on as 16-byte data records (an extended linear
// address record first and at each change of segment), then the end record.
std::string hexImageFile(uint32_t address, std::span<const uint8_t> bytes);

}  // namespace ksx4::test
