#include "intel_hex_text.h"

#include <algorithm>
#include <cstdio>

namespace ksx4::test {

std::string hexRecord(uint8_t type, uint16_t address, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes = {static_cast<uint8_t>(data.size()),
                                  static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                                  type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    bytes.push_back(static_cast<uint8_t>(-sum));
    std::string line = ":";
    char pair[3];
    for (uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        line += pair;
    }
    return line;
}

std::string hexLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

std::string hexImageFile(uint32_t address, std::span<const uint8_t> bytes) {
    std::string text;
    int64_t segment = -1;
    for (size_t offset = 0; offset < bytes.size();) {
        const uint32_t at = address + static_cast<uint32_t>(offset);
        if (at >> 16 != segment) {
            segment = at >> 16;
            text += hexSegment(static_cast<uint16_t>(segment)) + "\n";
        }
        // Records never cross a segment or a 16-byte boundary.
        const size_t count = std::min<size_t>(bytes.size() - offset, 16 - at % 16);
        const auto record = bytes.subspan(offset, count);
        text += hexData(static_cast<uint16_t>(at), {record.begin(), record.end()}) + "\n";
        offset += count;
    }
    return text + hexEnd() + "\n";
}

}  // namespace ksx4::test
