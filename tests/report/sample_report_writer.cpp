// Builds sample reports the way the transfer does (sample_report_writer.h).
#include "sample_report_writer.h"
#include "core/program_state.h"
#include "platform/link_library.h"
#include "platform/xls/spreadsheet.h"
#include "report/fill_report.h"
#include "report/flash_fields.h"
#include "report/record_layout.h"
#include "report/report_template.h"
#include "report/transfer_session.h"
#include "scripted_operator.h"
#include "settings/memory_map.h"

#include <cstdio>

namespace ksx4 {
namespace {

void setLimit(ProgramState& state, const eeprom::Field& field, uint16_t value) {
    state.eepromImage[static_cast<std::size_t>(field.address)] = static_cast<uint8_t>(value >> 8);
    state.eepromImage[static_cast<std::size_t>(field.address + 1)] =
        static_cast<uint8_t>(value & 0xFF);
}

void storeSample(ProgramState& state, int deviceCount) {
    const record::Layout& l = state.testerType == kKsx4Pa ? record::kProfibusPa : record::kFieldbus;
    const int base = flash::slotBase(1);
    auto put = [&](int offset, uint8_t value) {
        state.flashImage[static_cast<std::size_t>(base + offset)] = value;
    };
    auto putWord = [&](int offset, uint16_t value) {
        put(offset, static_cast<uint8_t>(value & 0xFF));
        put(offset + 1, static_cast<uint8_t>(value >> 8));
    };
    const QByteArray name = QByteArray("North field").leftJustified(15, ' ');
    for (int i = 0; i < 15; ++i) {
        put(i, static_cast<uint8_t>(name[i]));
        state.eepromImage[static_cast<std::size_t>(eeprom::reportName(1).address + i)] =
            static_cast<uint8_t>(name[i]);
    }
    putWord(l.voltage, 8990);  // shows 9.0V against 9.0V and is BAD
    putWord(l.lowestSignal, 420);
    putWord(l.lowestSignalAddress, 20);
    putWord(l.avgFieldbusNoise, 40);
    putWord(l.peakFieldbusNoise, 75);
    putWord(l.avgLowNoise, 12);
    putWord(l.peakLowNoise, 151);
    putWord(l.avgHighNoise, 30);
    putWord(l.peakHighNoise, 60);
    put(l.shieldShort, record::kNoShorts);
    if (l.lasAddress != record::kNone) putWord(l.lasAddress, 16);
    putWord(l.addDropAddress, 23);
    put(l.addDropKind, record::kAddDropAdd);
    put(l.activeDevices, static_cast<uint8_t>(deviceCount));
    for (const int stamp : {l.connectedTime, l.savedTime, l.lowestSignalTime, l.addDropTime}) {
        if (stamp == record::kNone) continue;
        put(stamp, 0x0D);  // February 1986
        put(stamp + 2, 0x12);
    }
    for (int entry = 1; entry <= deviceCount; ++entry) {
        const int offset = record::deviceEntryOffset(l, entry);
        put(offset + l.entryAddress, static_cast<uint8_t>(entry + 15));
        putWord(offset + l.entrySignal, static_cast<uint16_t>(entry == 4 ? 120 : 480 + entry));
        put(offset + l.entryStatus, entry == 3 ? record::kEntryAdded : record::kEntryPresent);
        put(offset + l.entryRetransmits, static_cast<uint8_t>(entry == 5 ? 251 : entry));
        if (l.entryRole != record::kNone) put(offset + l.entryRole, entry == 1 ? 1 : 0);
    }
}

}  // namespace

bool writeSampleReport(const QString& path, uint16_t testerType, int deviceCount,
                       const std::function<void(const xls::Worksheet&)>& saved) {
    test::VirtualClock clock;
    test::ScriptedOperator ui{clock};
    LinkLibrary link{"ksx4_com_not_loaded"};
    ProgramState state{ui, clock, link};
    TransferSession session;
    state.testerType = testerType;
    setLimit(state, eeprom::kVoltageLimit, 9000);
    setLimit(state, eeprom::kSignalLimit, 150);
    setLimit(state, eeprom::kAvgLowNoiseLimit, 150);
    setLimit(state, eeprom::kPeakLowNoiseLimit, 150);
    setLimit(state, eeprom::kAvgFieldbusNoiseLimit, 75);
    setLimit(state, eeprom::kPeakFieldbusNoiseLimit, 75);
    setLimit(state, eeprom::kAvgHighNoiseLimit, 150);
    setLimit(state, eeprom::kPeakHighNoiseLimit, 150);
    setLimit(state, eeprom::kRetransmitLimit, 250);
    storeSample(state, deviceCount);

    try {
        session.excelApp = xls::Application::create(ui);
        session.excelApp->setSheetsInNewWorkbook(1);
        session.reportWorkbook = &session.excelApp->addWorkbook();
        session.reportSheet = &session.reportWorkbook->worksheet(1);
        const uint16_t devices = countDeviceEntries(state, 1);
        const QString location =
            readFlashField(state, flash::slotBase(1), 15, FlashFieldKind::Text).trimmed();
        if (!makeTemplate(state, session, devices, location) ||
            !fillReport(state, session, 1, flash::slotBase(1), devices)) {
            std::fprintf(stderr, "building %s failed\n", qPrintable(path));
            return false;
        }
        if (!path.isEmpty()) session.reportWorkbook->saveAs(path);
        if (saved) saved(*session.reportSheet);
        session.reportWorkbook->close(false);
    } catch (const xls::SpreadsheetError& error) {
        std::fprintf(stderr, "%s: %d %s\n", qPrintable(path), error.number,
                     qPrintable(error.description));
        return false;
    }
    return true;
}

}  // namespace ksx4
