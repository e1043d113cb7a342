#include "hex_record.h"

namespace ksx4::com {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The byte whose two digits start at position; -1 when either is no digit.
int hexByte(std::string_view line, size_t position) {
    const int high = hexDigit(line[position]);
    const int low = hexDigit(line[position + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

}  // namespace

HexRecordFault parseHexRecord(std::string_view line, HexRecord& record) {
    constexpr size_t headerEnd = 9;  // ":" count address type
    if (line.size() < headerEnd + 2) return HexRecordFault::malformed;
    const int count = hexByte(line, 1);
    if (count < 0 || line.size() < headerEnd + 2 * size_t(count) + 2) {
        return HexRecordFault::malformed;
    }
    const size_t checksumAt = headerEnd + 2 * size_t(count);
    for (size_t i = checksumAt + 2; i < line.size(); ++i) {
        if (!isBlank(line[i])) return HexRecordFault::malformed;
    }

    unsigned sum = 0;
    int header[4];
    for (size_t i = 0; i < 4; ++i) {
        header[i] = hexByte(line, 1 + 2 * i);
        if (header[i] < 0) return HexRecordFault::malformed;
        sum += unsigned(header[i]);
    }
    for (size_t k = 0; k < size_t(count); ++k) {
        const int value = hexByte(line, headerEnd + 2 * k);
        if (value < 0) return HexRecordFault::malformed;
        record.data[k] = static_cast<uint8_t>(value);
        sum += unsigned(value);
    }
    const int checksum = hexByte(line, checksumAt);
    if (checksum < 0) return HexRecordFault::malformed;
    if (((sum + unsigned(checksum)) & 0xFF) != 0) return HexRecordFault::badChecksum;

    record.count = static_cast<uint8_t>(count);
    record.address = static_cast<uint16_t>(header[1] << 8 | header[2]);
    record.type = static_cast<uint8_t>(header[3]);
    return HexRecordFault::none;
}

}  // namespace ksx4::com
