#include "console_forms.h"

#include "settings/limits_table.h"
#include "settings/memory_map.h"

#include <algorithm>

namespace ksx4::ctl {
namespace {

static_assert(std::tuple_size_v<decltype(kLimitRows)> == 9);
static_assert(eeprom::kLocationCount == 8);

std::size_t limitIndex(LimitBox box) {
    for (std::size_t i = 0; i < kLimitRows.size(); ++i) {
        if (kLimitRows[i].box == box) return i;
    }
    return 0;
}

std::size_t locationIndex(int location) {
    return static_cast<std::size_t>(std::clamp(location, 1, eeprom::kLocationCount) - 1);
}

}  // namespace

QString ConsoleLimitsForm::text(LimitBox box) const {
    return boxes_[limitIndex(box)];
}

void ConsoleLimitsForm::setText(LimitBox box, const QString& text) {
    boxes_[limitIndex(box)] = text;
}

std::optional<LimitBox> limitBoxNamed(const QString& name) {
    for (const LimitRow& row : kLimitRows) {
        if (name == QLatin1String(row.consoleName)) return row.box;
    }
    return std::nullopt;
}

QString ConsoleNamesForm::text(int location) const {
    return boxes_[locationIndex(location)];
}

void ConsoleNamesForm::setText(int location, const QString& text) {
    boxes_[locationIndex(location)] = text;
}

}  // namespace ksx4::ctl
