#pragma once
// The calibration window's boxes: Text1(i) of the table belongs to EEPROM
// address 2 * i, and the three single boxes to their own fields. The table
// walk visits the 40 table boxes in order: 0..15, 22..33, 40..51 (the
// indexes between are not boxes).
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace ksx4::cal {

inline constexpr int kTemperatureBox = 58;
inline constexpr int kSerialNumberBox = 59;
inline constexpr int kEraseIndicatorBox = 60;
inline constexpr int kBoxCount = 61;  // indexes 0..60

inline constexpr int kWalkLength = 40;
// The table walk, in order.
std::array<int, kWalkLength> tableWalk();

// A box of the window: one of the table walk, or one of the three single
// boxes.
bool isBox(int index);

// The EEPROM address of a table box.
constexpr uint32_t tableAddress(int box) {
    return static_cast<uint32_t>(2 * box);
}

// One row of the table as the window shows it: a label and the boxes of its
// slope, offset and (noise rows only) range end.
struct TableRow {
    const char* label;
    int slope;
    int offset;
    std::optional<int> rangeEnd;
};
inline constexpr std::array<TableRow, 14> kTableRows{{
    {"DCV", 0, 1, std::nullopt},
    {"SIG", 2, 3, std::nullopt},
    {"LFN 1", 4, 5, 6},
    {"LFN 2", 7, 8, 9},
    {"LFN 3", 10, 11, 12},
    {"LFN 4", 13, 14, 15},
    {"FFN 1", 22, 23, 24},
    {"FFN 2", 25, 26, 27},
    {"FFN 3", 28, 29, 30},
    {"FFN 4", 31, 32, 33},
    {"HFN 1", 40, 41, 42},
    {"HFN 2", 43, 44, 45},
    {"HFN 3", 46, 47, 48},
    {"HFN 4", 49, 50, 51},
}};

// What a box shows until the first read: the factory calibration. The DC
// voltage and signal level values (boxes 0..3) are also what the default data
// writer stores. Empty text for an index that is not a box.
QString initialText(int box);

// The factory DC calibration (boxes 0..3) as the default data writer stores
// it, in its order: DCV slope, DCV offset, SIG slope, SIG offset.
struct DcDefault {
    int box;
    uint16_t value;
};
inline constexpr std::array<DcDefault, 4> kDcDefaults{{
    {0, 3160},
    {1, 2160},
    {2, 212},
    {3, 0},
}};

}  // namespace ksx4::cal
