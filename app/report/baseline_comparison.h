#pragma once
// A segment's latest report beside its baseline, value by value, as a
// person compares two workbooks: each value as the workbook showed it,
// the change in per cent where the value is a measurement, and each
// judgement; and which device addresses the two reports hold.
#include "archive/archived_report.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace ksx4 {

struct ComparedValue {
    QString label;              // "Voltage", "Device 20 (14H) Signal Level"
    QString measure;            // as archived: "voltage", "signal", ...
    std::optional<int> device;  // for a device's values
    QString baselineText;       // the workbook's text; empty where the report has no such row
    QString latestText;
    QString change;             // "−34 %"; empty where no change is measured
    QString baselineJudgement;  // "OK", "WARN", "BAD" or empty
    QString latestJudgement;
};

struct BaselineComparison {
    std::vector<ComparedValue>
        values;  // the latest report's rows in order, then the baseline's alone
    // Addresses as the report shows them ("20 (14H)"), ascending.
    QStringList inBoth, onlyInBaseline, onlyInLatest;
};

// baseline null: the latest report alone (the segment has no other).
BaselineComparison compareWithBaseline(const archive::ArchivedReport* baseline,
                                       const archive::ArchivedReport& latest);

}  // namespace ksx4
