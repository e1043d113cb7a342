#include "report/segment_reading.h"

#include "report/record_layout.h"

#include <array>

namespace ksx4 {
namespace {

using diagnosis::NoiseBand;

class SlotBytes {
  public:
    explicit SlotBytes(const QByteArray& bytes) : bytes_(bytes) {}
    int byte(int offset) const { return static_cast<uint8_t>(bytes_[offset]); }
    int word(int offset) const { return byte(offset) + 256 * byte(offset + 1); }

  private:
    const QByteArray& bytes_;
};

std::optional<int> limitOf(const archive::ArchivedReport& report, const QString& measure) {
    for (const archive::JudgedValue& value : report.values) {
        if (value.measure == measure && value.limit) return static_cast<int>(*value.limit);
    }
    return std::nullopt;
}

diagnosis::EntryStatus entryStatus(int status) {
    switch (status) {
        case record::kEntryPresent:
            return diagnosis::EntryStatus::Present;
        case record::kEntryAdded:
            return diagnosis::EntryStatus::Added;
        case record::kEntryDropped:
            return diagnosis::EntryStatus::Dropped;
        default:
            return diagnosis::EntryStatus::Unknown;
    }
}

std::optional<int> address(int value, int none) {
    return value == none ? std::nullopt : std::optional<int>(value);
}

void readNoise(diagnosis::SegmentReading& reading, const archive::ArchivedReport& report,
               const SlotBytes& slot, NoiseBand band, int avgOffset, int peakOffset,
               const char* avgMeasure, const char* peakMeasure) {
    diagnosis::NoiseReading& noise = reading.band(band);
    noise.avgMv = slot.word(avgOffset);
    noise.peakMv = slot.word(peakOffset);
    noise.avgLimitMv = limitOf(report, QString::fromLatin1(avgMeasure));
    noise.peakLimitMv = limitOf(report, QString::fromLatin1(peakMeasure));
}

}  // namespace

std::optional<diagnosis::SegmentReading> segmentReading(const archive::ArchivedReport& report) {
    if (report.slotBytes.size() != archive::kSourceBytes) return std::nullopt;
    const int kind = report.summary.testerKind;
    if (kind != 0 && kind != 1) return std::nullopt;
    const bool profibusPa = kind == 1;
    const record::Layout& l = profibusPa ? record::kProfibusPa : record::kFieldbus;
    const SlotBytes slot(report.slotBytes);

    diagnosis::SegmentReading r;
    r.reportId = report.summary.id;
    r.segment = report.summary.location.trimmed();
    r.time = report.summary.reportTime();
    r.testerKind = profibusPa ? diagnosis::TesterKind::Ksx4Pa : diagnosis::TesterKind::Ksx4;

    r.voltageMv = slot.word(l.voltage);
    r.voltageLimitMv = limitOf(report, QStringLiteral("voltage"));
    const int lowest = slot.word(l.lowestSignal);
    // From 2250 up the tester saw no device signal to judge.
    if (lowest < record::kSignalNotAvailable) r.lowestSignalMv = lowest;
    r.lowestSignalAddress = address(slot.word(l.lowestSignalAddress), record::kNoAddress);
    r.signalLimitMv = limitOf(report, QStringLiteral("signal"));
    readNoise(r, report, slot, NoiseBand::Fieldbus, l.avgFieldbusNoise, l.peakFieldbusNoise,
              "ff-avg", "ff-peak");
    readNoise(r, report, slot, NoiseBand::Low, l.avgLowNoise, l.peakLowNoise, "lf-avg", "lf-peak");
    readNoise(r, report, slot, NoiseBand::High, l.avgHighNoise, l.peakHighNoise, "hf-avg",
              "hf-peak");
    r.shieldShortCode = slot.byte(l.shieldShort);

    const int addDrop = slot.byte(l.addDropKind);
    r.addDrop = addDrop == record::kAddDropAdd    ? diagnosis::AddDrop::Added
                : addDrop == record::kAddDropDrop ? diagnosis::AddDrop::Dropped
                                                  : diagnosis::AddDrop::None;
    if (r.addDrop != diagnosis::AddDrop::None) {
        r.addDropAddress = address(slot.word(l.addDropAddress), l.noAddDropAddress);
    }
    if (l.lasAddress != record::kNone) {
        r.lasAddress = address(slot.word(l.lasAddress), record::kNoAddress);
    }
    r.activeDevices = slot.byte(l.activeDevices);
    r.retransmitLimit = limitOf(report, QStringLiteral("retransmits"));

    for (int entry = 1; entry <= record::kDeviceEntryCount; ++entry) {
        const int offset = record::deviceEntryOffset(l, entry);
        const int status = slot.byte(offset + l.entryStatus);
        if (status == record::kEntryEmpty) continue;
        r.devices.push_back({.address = slot.byte(offset + l.entryAddress),
                             .signalMv = slot.word(offset + l.entrySignal),
                             .status = entryStatus(status),
                             .retransmits = slot.byte(offset + l.entryRetransmits)});
    }
    return r;
}

}  // namespace ksx4
