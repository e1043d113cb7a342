#pragma once
// One line of an Intel HEX file as a record: ":", count, 16-bit address,
// type, count data bytes and a checksum, all as pairs of hexadecimal digits
// (either case), the checksum making the low 8 bits of the sum of all
// count + 5 bytes 0.
#include <array>
#include <cstdint>
#include <string_view>

namespace ksx4::com {

// The longest record: 255 data bytes, 1 + 2 * (255 + 5) characters.
inline constexpr size_t maxHexLineLength = 521;

enum HexRecordType : uint8_t {
    hexData = 0x00,
    hexEndOfFile = 0x01,
    hexExtendedSegmentAddress = 0x02,
    hexExtendedLinearAddress = 0x04,
};

struct HexRecord {
    uint8_t count = 0;
    uint16_t address = 0;
    uint8_t type = 0;
    std::array<uint8_t, 255> data{};
};

enum class HexRecordFault {
    none,
    // A character that is not a hexadecimal digit, fewer characters than the
    // count asks for, or anything but blanks after the checksum.
    malformed,
    badChecksum,
};

// line starts with ':' and holds at most maxHexLineLength characters.
HexRecordFault parseHexRecord(std::string_view line, HexRecord& record);

}  // namespace ksx4::com
