#include "engineering/cal_table.h"

#include <algorithm>

namespace ksx4::cal {
namespace {

// The noise rows' factory texts: slope, offset, range end, row by row from
// LFN 1 to HFN 4.
constexpr std::array<std::array<const char*, 3>, 12> kNoiseRowTexts{{
    {"667", "3167", "479"},
    {"500", "2370", "483"},
    {"419", "1979", "1023"},
    {"419", "1979", "1023"},
    {"667", "3167", "479"},
    {"400", "1892", "484"},
    {"438", "2073", "1023"},
    {"438", "2073", "1023"},
    {"667", "3167", "479"},
    {"500", "2370", "483"},
    {"500", "2370", "1023"},
    {"500", "2370", "1023"},
}};

}  // namespace

std::array<int, kWalkLength> tableWalk() {
    std::array<int, kWalkLength> walk{};
    int box = 0;
    for (int& step : walk) {
        step = box;
        // After the last box of the LFN, FFN and HFN rows six indexes are
        // skipped.
        box += (box == 15 || box == 33 || box == 51) ? 7 : 1;
    }
    return walk;
}

bool isBox(int index) {
    const auto walk = tableWalk();
    return index == kTemperatureBox || index == kSerialNumberBox || index == kEraseIndicatorBox ||
           std::find(walk.begin(), walk.end(), index) != walk.end();
}

QString initialText(int box) {
    if (box == kTemperatureBox || box == kSerialNumberBox || box == kEraseIndicatorBox) {
        return QStringLiteral("0");
    }
    for (const DcDefault& dc : kDcDefaults) {
        if (dc.box == box) return QString::number(dc.value);
    }
    for (std::size_t row = 2; row < kTableRows.size(); ++row) {
        const TableRow& r = kTableRows[row];
        const auto& texts = kNoiseRowTexts[row - 2];
        if (box == r.slope) return QString::fromLatin1(texts[0]);
        if (box == r.offset) return QString::fromLatin1(texts[1]);
        if (box == r.rangeEnd) return QString::fromLatin1(texts[2]);
    }
    return {};
}

}  // namespace ksx4::cal
