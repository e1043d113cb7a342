#pragma once
// A model of the text dump the tester's firmware loader has always built from
// a HEX file (rows "\r\n" + "%06X " + 16 entries "HH " or "XX ") and of the
// rows it programs from it: an independent statement of which rows a boot
// load writes, for files whose records ascend.
#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace ksx4::test {

struct DumpRow {
    uint32_t address = 0;
    std::array<uint8_t, 16> bytes{};
    bool operator==(const DumpRow&) const = default;
};

std::ostream& operator<<(std::ostream& out, const DumpRow& row);

// The rows of the program memory's dump from 0x0800 on that hold at least
// one entry from the file, "XX" entries as 0xFF. text must be a valid file.
std::vector<DumpRow> rowsFromTextDump(const std::string& text);

}  // namespace ksx4::test
