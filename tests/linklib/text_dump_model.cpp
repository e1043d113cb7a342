#include "text_dump_model.h"

#include <cstdio>
#include <sstream>

namespace ksx4::test {
namespace {

uint32_t hexAt(const std::string& line, size_t at, size_t digits) {
    return static_cast<uint32_t>(std::stoul(line.substr(at, digits), nullptr, 16));
}

// The building pass: every data record appended to its area's text.
std::string programMemoryDump(const std::string& text) {
    std::string program, elsewhere;
    uint32_t segment = 0;
    uint32_t position = 0;
    bool positionSet = false;  // unset at the start of each segment
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] != ':') continue;
        const uint32_t count = hexAt(line, 1, 2), address = hexAt(line, 3, 4);
        const uint32_t type = hexAt(line, 7, 2);
        if (type == 4) {
            segment = hexAt(line, 9, 4);
            positionSet = false;
            continue;
        }
        if (type == 1) break;
        if (type != 0) continue;
        std::string& area = segment <= 0x1F ? program : elsewhere;
        const uint32_t linear = segment * 65536 + (segment == 0xF0 ? address & ~0xFu : address);
        if (!positionSet) position = linear & ~0xFu;
        positionSet = true;
        auto startRowIfDue = [&] {
            if (position % 16 != 0) return;
            char head[16];
            std::snprintf(head, sizeof head, "\r\n%06X ", position);
            area += head;
        };
        for (; position < linear; ++position) {
            startRowIfDue();
            area += "XX ";
        }
        for (uint32_t k = 0; k < count; ++k, ++position) {
            startRowIfDue();
            for (const char c : line.substr(9 + 2 * k, 2)) area += char(std::toupper(c));
            area += ' ';
        }
    }
    return program;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const DumpRow& row) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", row.address);
    out << text << ':';
    for (const uint8_t b : row.bytes) {
        std::snprintf(text, sizeof text, " %02X", b);
        out << text;
    }
    return out;
}

std::vector<DumpRow> rowsFromTextDump(const std::string& text) {
    const std::string dump = programMemoryDump(text);
    std::vector<DumpRow> rows;
    for (size_t at = dump.find("\r\n"); at != std::string::npos;) {
        const size_t next = dump.find("\r\n", at + 2);
        const std::string row =
            dump.substr(at + 2, next == std::string::npos ? next : next - at - 2);
        at = next;
        DumpRow parsed{hexAt(row, 0, 6), {}};
        if (parsed.address < 0x0800) continue;
        bool fromFile = false;
        for (size_t i = 0; i < 16; ++i) {
            const std::string entry = 7 + 3 * i + 2 <= row.size() ? row.substr(7 + 3 * i, 2) : "XX";
            parsed.bytes[i] =
                entry == "XX" ? 0xFF : static_cast<uint8_t>(std::stoul(entry, nullptr, 16));
            fromFile = fromFile || entry != "XX";
        }
        if (fromFile) rows.push_back(parsed);
    }
    return rows;
}

}  // namespace ksx4::test
