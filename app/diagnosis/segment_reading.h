#pragma once
// One archived report of a segment, as the findings read it: the measured
// values with the tester's limits stored beside them, and the device table.
// A value the report does not hold (or holds as "not available") is empty,
// and every rule that needs it stays silent.
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace ksx4::diagnosis {

enum class TesterKind { Ksx4, Ksx4Pa };  // only the KSX-4 reports a link active scheduler

enum class EntryStatus { Present, Added, Dropped, Unknown };

enum class AddDrop { None, Added, Dropped };

enum class NoiseBand { Fieldbus, Low, High };
inline constexpr int kNoiseBands = 3;

struct DeviceReading {
    int address = 0;
    std::optional<int> signalMv{};
    EntryStatus status = EntryStatus::Present;
    std::optional<int> retransmits{};
};

struct NoiseReading {
    std::optional<int> avgMv{}, peakMv{};
    std::optional<int> avgLimitMv{}, peakLimitMv{};  // maxima
};

// The shield short code a sound shield reports.
inline constexpr int kNoShieldShort = 2;

struct SegmentReading {
    int64_t reportId = 0;
    QString segment{};  // the location name stored with the report, trimmed
    QString time{};     // the report time, "YYYY-MM-DDTHH:MM:SS"
    TesterKind testerKind = TesterKind::Ksx4;

    std::optional<int> voltageMv{}, voltageLimitMv{};  // the limit is a minimum
    std::optional<int> lowestSignalMv{};               // empty when the tester saw none
    std::optional<int> lowestSignalAddress{};
    std::optional<int> signalLimitMv{};  // minimum, for the lowest signal and every device
    std::array<NoiseReading, kNoiseBands> noise{};  // indexed by NoiseBand
    int shieldShortCode = kNoShieldShort;

    AddDrop addDrop = AddDrop::None;
    std::optional<int> addDropAddress{};
    std::optional<int> lasAddress{};  // empty when none was seen (and always on a KSX-4-PA)
    int activeDevices = 0;
    std::optional<int> retransmitLimit{};  // maximum per device

    std::vector<DeviceReading> devices{};  // in the report's entry order

    const NoiseReading& band(NoiseBand b) const { return noise[static_cast<std::size_t>(b)]; }
    NoiseReading& band(NoiseBand b) { return noise[static_cast<std::size_t>(b)]; }
};

// The text a report shows for a shield short code ("No Shorts", "Both",
// "Intermittent Short to (+)", ..., "Unknown").
QString shieldShortText(int code);
// Codes 4 and 5: the short came and went while the tester watched.
bool shieldShortIntermittent(int code);

}  // namespace ksx4::diagnosis
