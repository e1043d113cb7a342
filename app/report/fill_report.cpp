#include "report/fill_report.h"

#include "archive/archived_report.h"

#include "core/program_state.h"
#include "platform/xls/spreadsheet.h"
#include "report/flash_fields.h"
#include "report/record_layout.h"
#include "report/report_texts.h"
#include "report/template_plan.h"
#include "report/transfer_session.h"
#include "settings/memory_map.h"
#include "settings/tester_texts.h"

#include <array>
#include <optional>
#include <tuple>

namespace ksx4 {
namespace {

using record::kNone;

constexpr int kRedFill = 3;
constexpr int kYellowFill = 6;
constexpr uint32_t kRetransmitsShownInFull = 250;

// Stops the filling; the cells written so far stay.
struct FillStopped {};

// What a judged row holds beside its texts, for the archive.
struct Measured {
    const char* measure;
    std::optional<int64_t> value;
    std::optional<int64_t> limit;
};

struct FormRows {
    const record::Layout& layout;
    const LayoutRows& rows;
    QString fieldbusBand, lowBand, highBand;  // label suffixes
};

class ReportFiller {
  public:
    ReportFiller(ProgramState& state, xls::Worksheet& sheet, const FormRows& form, int slot,
                 int base, const QLocale& locale, std::vector<archive::JudgedValue>* judged)
        : state_(state),
          sheet_(sheet),
          form_(form),
          slot_(slot),
          base_(base),
          locale_(locale),
          judged_(judged) {}

    void fill(uint16_t deviceEntryCount) {
        titleRows();
        segmentRows();
        const uint16_t devices = deviceTable(deviceEntryCount);
        const int summaryRow = devices == 0 ? form_.rows.noDeviceSummaryRow : row_ + 1;
        put(u'D', summaryRow, summarySentence(badCount_, warnCount_));
        sheet_.range(QStringLiteral("A1")).select();
    }

  private:
    void titleRows() {
        const record::Layout& l = form_.layout;
        put(u'A', 1, reportName() + QStringLiteral(" Segment Report"));
        if (l.connectedTime != kNone) {
            put(u'A', 2, QStringLiteral("Date/Time KSX-4 Connected to Bus"));
            put(u'B', 2, moment(l.connectedTime));
            put(u'A', 3, QStringLiteral("Date/Time Report Saved"));
            put(u'B', 3, moment(l.savedTime));
        }
    }

    void segmentRows() {
        const record::Layout& l = form_.layout;
        row_ = form_.rows.segmentGridFirst;
        const uint16_t voltage = word(l.voltage);
        // The voltage limit is shown in volts, so it must be a number.
        if (limitText(eeprom::kVoltageLimit).isEmpty()) throw FillStopped{};
        const uint32_t voltageLimit = limit(eeprom::kVoltageLimit);
        writeRow(QStringLiteral("Voltage"), voltsText(voltage, locale_),
                 kiloText(voltageLimit, locale_) + QStringLiteral("V Minimum"));
        judge(voltage >= voltageLimit, {"voltage", voltage, voltageLimit});
        nextRow();

        const uint16_t lowest = word(l.lowestSignal);
        writeRow(QStringLiteral("Lowest Device Signal"),
                 lowest == record::kSignalNotAvailable ? QStringLiteral("Not Available")
                                                       : millivoltsText(lowest),
                 minimumText(eeprom::kSignalLimit));
        // Values from 2250 up mean the tester saw no device signal to judge.
        if (lowest < record::kSignalNotAvailable) {
            const uint32_t signalLimit = limit(eeprom::kSignalLimit);
            judge(lowest >= signalLimit, {"signal", lowest, signalLimit});
        } else {
            keep({"signal", std::nullopt, std::nullopt}, QString());
        }
        nextRow();
        writeRow(QStringLiteral("Lowest Device Signal Address"),
                 optionalAddress(word(l.lowestSignalAddress), record::kNoAddress,
                                 QStringLiteral("None")));
        nextRow();
        momentRow(QStringLiteral("Lowest Device Signal Date/Time"), l.lowestSignalTime);

        noiseRows(QStringLiteral("Fieldbus"), form_.fieldbusBand, {"ff-avg", "ff-peak"},
                  l.avgFieldbusNoise, l.peakFieldbusNoise, l.peakFieldbusNoiseTime,
                  eeprom::kAvgFieldbusNoiseLimit, eeprom::kPeakFieldbusNoiseLimit);
        noiseRows(QStringLiteral("Low"), form_.lowBand, {"lf-avg", "lf-peak"}, l.avgLowNoise,
                  l.peakLowNoise, l.peakLowNoiseTime, eeprom::kAvgLowNoiseLimit,
                  eeprom::kPeakLowNoiseLimit);
        noiseRows(QStringLiteral("High"), form_.highBand, {"hf-avg", "hf-peak"}, l.avgHighNoise,
                  l.peakHighNoise, l.peakHighNoiseTime, eeprom::kAvgHighNoiseLimit,
                  eeprom::kPeakHighNoiseLimit);

        const uint8_t shield = byte(l.shieldShort);
        writeRow(QStringLiteral("Shield Short"), shieldShortText(shield),
                 QStringLiteral("No Shorts"));
        judge(shield == record::kNoShorts, {"shield-short", shield, std::nullopt});
        nextRow();
        if (l.lasAddress != kNone) {
            writeRow(
                QStringLiteral("LAS Address"),
                optionalAddress(word(l.lasAddress), record::kNoAddress, QStringLiteral("None")));
            nextRow();
        }
        writeRow(QStringLiteral("Most Recent Add/Drop Address"),
                 optionalAddress(word(l.addDropAddress), l.noAddDropAddress,
                                 QStringLiteral("No Devices Added/Dropped")));
        nextRow();
        addDropRow();
        momentRow(QStringLiteral("Date/Time of Device Add/Drop"), l.addDropTime);
        writeRow(QStringLiteral("Number of Active Devices"),
                 QString::number(byte(l.activeDevices)));
    }

    // Blocks for the occupied entries in entry order, leaving row_ at the
    // next block's row. A count that disagrees with the table stops before
    // a block lands where the template expects none.
    uint16_t deviceTable(uint16_t deviceEntryCount) {
        const record::Layout& l = form_.layout;
        row_ = form_.rows.firstDeviceRow();
        uint16_t devices = 0;
        for (int entry = 1; entry <= record::kDeviceEntryCount; ++entry) {
            const int offset = record::deviceEntryOffset(l, entry);
            if (byte(offset + l.entryStatus) == record::kEntryEmpty) continue;
            if (++devices > deviceEntryCount) throw FillStopped{};
            deviceBlock(l, offset);
            row_ += form_.rows.rowsPerDevice;
        }
        if (devices != deviceEntryCount) throw FillStopped{};
        return devices;
    }

    uint8_t byte(int offset) const { return flashByte(state_, base_ + offset); }
    uint16_t word(int offset) const { return flashWord(state_, base_ + offset); }
    QString moment(int offset) const {
        return trimBlanks(
            readFlashField(state_, base_ + offset, 4, FlashFieldKind::TimeStamp, locale_));
    }

    QString reportName() const {
        return trimBlanks(readEepromField(state_, eeprom::reportName(slot_)));
    }

    // A limit's text, read once per report so that an undecodable word shows
    // its message once. An undecodable word gives empty text: its C cell shows
    // only the unit and it counts as 0, as the tester's limits editor would
    // show an empty field.
    const QString& limitText(const eeprom::Field& field) {
        auto& cached = limits_[static_cast<std::size_t>(field.address)];
        if (!cached) cached = readEepromField(state_, field);
        return *cached;
    }
    uint32_t limit(const eeprom::Field& field) {
        const QString& text = limitText(field);
        if (text.isEmpty()) return 0;
        bool isNumber = false;
        const uint32_t value = text.toUInt(&isNumber);
        if (!isNumber) throw FillStopped{};
        return value;
    }
    QString minimumText(const eeprom::Field& field) {
        return limitText(field) + QStringLiteral("mV Minimum");
    }
    QString maximumText(const eeprom::Field& field) {
        return limitText(field) + QStringLiteral("mV Maximum");
    }

    static QString optionalAddress(uint16_t address, uint16_t none, const QString& noneText) {
        return address == none ? noneText : addressText(address);
    }

    void put(QChar column, int row, const QString& text) {
        sheet_.range(column + QString::number(row)).setValue(text);
    }
    void writeRow(const QString& label, const QString& value, const QString& acceptable = {}) {
        put(u'A', row_, label);
        put(u'B', row_, value);
        if (!acceptable.isEmpty()) put(u'C', row_, acceptable);
        shownValue_ = value;
        shownLimit_ = acceptable;
    }
    void nextRow() { ++row_; }

    void mark(int colorIndex) {
        sheet_.range(u'D' + QString::number(row_)).select();
        xls::Range selection = sheet_.application().selection();
        selection.interior().setColorIndex(colorIndex);
        selection.interior().setPattern(xls::kXlPatternSolid);
    }
    // The D cell of the row just written, kept with its value for the
    // archive as the sheet shows it.
    void judge(bool ok, const Measured& measured) {
        const QString judgement = ok ? QStringLiteral("OK") : QStringLiteral("BAD");
        put(u'D', row_, judgement);
        keep(measured, judgement);
        if (ok) return;
        mark(kRedFill);
        ++badCount_;
    }
    void warn(const Measured& measured) {
        const QString judgement = QStringLiteral("WARN");
        put(u'D', row_, judgement);
        keep(measured, judgement);
        mark(kYellowFill);
        ++warnCount_;
    }
    void keep(const Measured& measured, const QString& judgement) {
        if (judged_ == nullptr) return;
        judged_->push_back({QString::fromLatin1(measured.measure), device_, measured.value,
                            shownValue_, measured.limit, shownLimit_, judgement});
    }

    void momentRow(const QString& label, int offset) {
        if (offset == kNone) return;
        writeRow(label, moment(offset));
        nextRow();
    }

    struct NoiseMeasures {
        const char* avg;
        const char* peak;
    };
    void noiseRows(const QString& band, const QString& bandSuffix, NoiseMeasures measures,
                   int avgOffset, int peakOffset, int peakTimeOffset, const eeprom::Field& avgLimit,
                   const eeprom::Field& peakLimit) {
        const QString name = band + QStringLiteral(" Frequency Noise") + bandSuffix;
        for (const auto& [prefix, measure, offset, field] :
             {std::tuple{QStringLiteral("Avg "), measures.avg, avgOffset, avgLimit},
              std::tuple{QStringLiteral("Peak "), measures.peak, peakOffset, peakLimit}}) {
            const uint16_t value = word(offset);
            writeRow(prefix + name, millivoltsText(value), maximumText(field));
            const uint32_t maximum = limit(field);
            judge(value <= maximum, {measure, value, maximum});
            nextRow();
        }
        momentRow(QStringLiteral("Peak ") + band + QStringLiteral(" Frequency Noise Date/Time"),
                  peakTimeOffset);
    }

    void addDropRow() {
        const uint8_t kind = byte(form_.layout.addDropKind);
        const QString none = QStringLiteral("None Added/Dropped");
        const QString shown = kind == record::kAddDropAdd    ? QStringLiteral("Add")
                              : kind == record::kAddDropDrop ? QStringLiteral("Drop")
                                                             : none;
        writeRow(QStringLiteral("Device Add or Drop"), shown, none);
        const Measured measured{"add-drop", kind, std::nullopt};
        if (kind == record::kAddDropAdd) {
            warn(measured);
        } else {
            judge(kind != record::kAddDropDrop, measured);
        }
        nextRow();
    }

    void deviceBlock(const record::Layout& l, int offset) {
        const int first = row_;
        const uint8_t address = byte(offset + l.entryAddress);
        device_ = address;
        writeRow(QStringLiteral("Device Address"), addressText(address));
        nextRow();
        const uint16_t signal = word(offset + l.entrySignal);
        writeRow(QStringLiteral("Signal Level"), millivoltsText(signal),
                 minimumText(eeprom::kSignalLimit));
        const uint32_t signalLimit = limit(eeprom::kSignalLimit);
        judge(signal >= signalLimit, {"signal", signal, signalLimit});
        nextRow();

        const uint8_t status = byte(offset + l.entryStatus);
        const QString notAddedDropped = QStringLiteral("Not Added/Dropped");
        const QString shown = status == record::kEntryPresent   ? notAddedDropped
                              : status == record::kEntryAdded   ? QStringLiteral("Added")
                              : status == record::kEntryDropped ? QStringLiteral("Dropped")
                                                                : QStringLiteral("Unknown");
        writeRow(QStringLiteral("Added/Dropped"), shown, notAddedDropped);
        const Measured measured{"added-dropped", status, std::nullopt};
        if (status == record::kEntryAdded) {
            warn(measured);
        } else {
            judge(status == record::kEntryPresent, measured);
        }
        nextRow();

        if (l.entryRole != kNone) {
            writeRow(QStringLiteral("Master or Slave"),
                     byte(offset + l.entryRole) == record::kMasterRole ? QStringLiteral("Master")
                                                                       : QStringLiteral("Slave"));
            nextRow();
        }
        const uint8_t retransmits = byte(offset + l.entryRetransmits);
        const uint32_t retransmitLimit = limit(eeprom::kRetransmitLimit);
        writeRow(QStringLiteral("Retransmits"),
                 retransmits <= kRetransmitsShownInFull ? QString::number(retransmits)
                                                        : QStringLiteral("250+"),
                 limitText(eeprom::kRetransmitLimit));
        judge(retransmits <= retransmitLimit, {"retransmits", retransmits, retransmitLimit});
        row_ = first;
        device_.reset();
    }

    ProgramState& state_;
    xls::Worksheet& sheet_;
    const FormRows& form_;
    int slot_;
    int base_;
    const QLocale& locale_;
    std::vector<archive::JudgedValue>* judged_;
    std::optional<int> device_;        // the address while a device block is written
    QString shownValue_, shownLimit_;  // the B and C cells of the row just written
    int row_ = 0;
    int badCount_ = 0;
    int warnCount_ = 0;
    std::array<std::optional<QString>, eeprom::kSize> limits_{};
};

}  // namespace

bool fillReport(ProgramState& state, TransferSession& session, int slot, int slotBase,
                uint16_t deviceEntryCount) {
    return fillReport(state, session, slot, slotBase, deviceEntryCount, QLocale::system());
}

bool fillReport(ProgramState& state, TransferSession& session, int slot, int slotBase,
                uint16_t deviceEntryCount, const QLocale& locale) {
    return fillReport(state, session, slot, slotBase, deviceEntryCount, locale, nullptr);
}

bool fillReport(ProgramState& state, TransferSession& session, int slot, int slotBase,
                uint16_t deviceEntryCount, const QLocale& locale,
                std::vector<archive::JudgedValue>* judged) {
    if (session.reportSheet == nullptr || slot < 1 || slot > eeprom::kLocationCount ||
        slotBase < 0 || slotBase > flash::kSize - flash::kSlotSize) {
        return false;
    }
    if (state.testerType != kKsx4 && state.testerType != kKsx4Pa) return false;
    const bool profibusPa = state.testerType == kKsx4Pa;
    const LayoutRows& rows = layoutRows(profibusPa);
    const FormRows form =
        profibusPa ? FormRows{record::kProfibusPa, rows, {}, {}, {}}
                   : FormRows{record::kFieldbus, rows, QStringLiteral(" (9KHz-40KHz)"),
                              QStringLiteral(" (50Hz-4KHz)"), QStringLiteral(" (90KHz-350KHz)")};
    try {
        ReportFiller(state, *session.reportSheet, form, slot, slotBase, locale, judged)
            .fill(deviceEntryCount);
        return true;
    } catch (const xls::SpreadsheetError&) {
        return false;
    } catch (const FillStopped&) {
        return false;
    }
}

}  // namespace ksx4
