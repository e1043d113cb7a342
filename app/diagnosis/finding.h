#pragma once
// A finding: a hint for a person about what is wrong with a segment, in one
// sentence with its numbers, the likely causes and what to check.
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace ksx4::diagnosis {

// Worst first: findings sort in this order.
enum class Severity { Alarm, Warning, Note };

// "alarm", "warning", "note".
QString severityName(Severity severity);

// The finding codes. They are a contract with scripts reading the JSON, so
// a code, once shipped, keeps its name and meaning.
namespace code {
// From one report, against the tester's limits stored with it.
inline constexpr char kVoltageLow[] = "voltage-low";
inline constexpr char kVoltageMargin[] = "voltage-margin";
inline constexpr char kSignalLow[] = "signal-low";
inline constexpr char kSignalHigh[] = "signal-high";
inline constexpr char kSignalWeakDevice[] = "signal-weak-device";
inline constexpr char kSignalNoiseMargin[] = "signal-noise-margin";
inline constexpr char kNoiseHigh[] = "noise-high";
inline constexpr char kShieldShort[] = "shield-short";
inline constexpr char kDeviceDropped[] = "device-dropped";
inline constexpr char kDeviceAdded[] = "device-added";
inline constexpr char kRetransmitsHigh[] = "retransmits-high";
inline constexpr char kNoLas[] = "no-las";
// Against the baseline and the segment's history.
inline constexpr char kSignalAllUp[] = "signal-all-up";
inline constexpr char kSignalAllDown[] = "signal-all-down";
inline constexpr char kSignalDeviceDown[] = "signal-device-down";
inline constexpr char kSignalFalling[] = "signal-falling";
inline constexpr char kNoiseUp[] = "noise-up";
inline constexpr char kVoltageDown[] = "voltage-down";
inline constexpr char kDeviceMissing[] = "device-missing";
inline constexpr char kDeviceNew[] = "device-new";
inline constexpr char kRetransmitsUp[] = "retransmits-up";
}  // namespace code

struct Finding {
    QString code{};  // one of code::k...
    Severity severity = Severity::Note;
    std::optional<int> device{};  // the subject's address; empty when the subject is the segment
    QString summary{};            // one sentence with the numbers
    QString headline{};           // the same, short and lower-case, for one status line
    QStringList causes{};         // most likely first
    QString check{};              // what to look at on site
    // The numbers the sentence uses, by name (snake_case, units in the
    // name: "signal_mv", "change_percent", "projected_ms"), in sentence order.
    QList<std::pair<QString, double>> values{};

    QString subject() const {
        return device ? QStringLiteral("device") : QStringLiteral("segment");
    }
    std::optional<double> value(const QString& name) const;
};

// {code, severity, subject, device, summary, causes, check, values}: device
// null for the segment, causes a list of texts, values an object of numbers.
QJsonObject toJson(const Finding& finding);
QJsonArray toJson(const std::vector<Finding>& findings);

}  // namespace ksx4::diagnosis
