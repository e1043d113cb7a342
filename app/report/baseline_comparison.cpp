#include "report/baseline_comparison.h"

#include "diagnosis/wording.h"
#include "report/report_texts.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

namespace ksx4 {
namespace {

using archive::JudgedValue;
using Key = std::pair<std::optional<int>, QString>;  // device, measure

struct Label {
    const char* measure;
    const char* text;
    bool measured;  // a quantity whose change in per cent means something (not a code)
};

// The workbook's row names.
constexpr Label kSegmentLabels[] = {
    {"voltage", "Voltage", true},
    {"signal", "Lowest Device Signal", true},
    {"ff-avg", "Avg Fieldbus Frequency Noise", true},
    {"ff-peak", "Peak Fieldbus Frequency Noise", true},
    {"lf-avg", "Avg Low Frequency Noise", true},
    {"lf-peak", "Peak Low Frequency Noise", true},
    {"hf-avg", "Avg High Frequency Noise", true},
    {"hf-peak", "Peak High Frequency Noise", true},
    {"shield-short", "Shield Short", false},
    {"add-drop", "Device Add or Drop", false},
};
constexpr Label kDeviceLabels[] = {
    {"signal", "Signal Level", true},
    {"added-dropped", "Added/Dropped", false},
    {"retransmits", "Retransmits", true},
};

const Label* labelOf(const JudgedValue& v) {
    const auto find = [&v](const auto& labels) -> const Label* {
        for (const Label& l : labels) {
            if (v.measure == QLatin1String(l.measure)) return &l;
        }
        return nullptr;
    };
    return v.device ? find(kDeviceLabels) : find(kSegmentLabels);
}

QString labelText(const JudgedValue& v) {
    const Label* l = labelOf(v);
    const QString name = l ? QString::fromLatin1(l->text) : v.measure;
    return v.device ? QStringLiteral("Device %1 %2").arg(addressText(*v.device), name) : name;
}

QString changeText(const JudgedValue& then, const JudgedValue& now) {
    const Label* l = labelOf(now);
    if (!l || !l->measured || !then.value || !now.value || *then.value <= 0) return {};
    return diagnosis::wording::percentChange(double(*now.value) / double(*then.value));
}

QString shown(const JudgedValue& v) {
    if (!v.valueText.isEmpty()) return v.valueText;
    return v.value ? QString::number(*v.value) : QString();
}

std::set<int> addressesOf(const archive::ArchivedReport& report) {
    std::set<int> addresses;
    for (const JudgedValue& v : report.values) {
        if (v.device) addresses.insert(*v.device);
    }
    return addresses;
}

QStringList texts(const std::set<int>& addresses) {
    QStringList list;
    for (const int a : addresses) list << addressText(static_cast<uint32_t>(a));
    return list;
}

}  // namespace

BaselineComparison compareWithBaseline(const archive::ArchivedReport* baseline,
                                       const archive::ArchivedReport& latest) {
    BaselineComparison result;
    std::map<Key, const JudgedValue*> before;
    if (baseline) {
        for (const JudgedValue& v : baseline->values) before.emplace(Key{v.device, v.measure}, &v);
    }
    std::set<Key> seen;
    for (const JudgedValue& v : latest.values) {
        const Key key{v.device, v.measure};
        if (!seen.insert(key).second) continue;  // a damaged archive's repeated row
        ComparedValue row{labelText(v), v.measure, v.device, {}, shown(v), {}, {}, v.judgement};
        if (const auto found = before.find(key); found != before.end()) {
            row.baselineText = shown(*found->second);
            row.baselineJudgement = found->second->judgement;
            row.change = changeText(*found->second, v);
        }
        result.values.push_back(std::move(row));
    }
    if (baseline) {
        for (const JudgedValue& v : baseline->values) {
            if (!seen.insert(Key{v.device, v.measure}).second) continue;
            result.values.push_back(
                {labelText(v), v.measure, v.device, shown(v), {}, {}, v.judgement, {}});
        }
    }

    const std::set<int> now = addressesOf(latest);
    const std::set<int> then = baseline ? addressesOf(*baseline) : std::set<int>{};
    std::set<int> both, gone, added;
    std::set_intersection(now.begin(), now.end(), then.begin(), then.end(),
                          std::inserter(both, both.end()));
    std::set_difference(then.begin(), then.end(), now.begin(), now.end(),
                        std::inserter(gone, gone.end()));
    std::set_difference(now.begin(), now.end(), then.begin(), then.end(),
                        std::inserter(added, added.end()));
    result.inBoth = texts(both);
    result.onlyInBaseline = texts(gone);
    result.onlyInLatest = texts(added);
    return result;
}

}  // namespace ksx4
