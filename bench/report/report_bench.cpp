// Template, filling and the .xls bytes of 32-device reports. The bytes are
// built in memory (buildWorkbookFile); writing them to disk with fsync is
// the file system's cost, not ours, and is left out.
#include "core/program_state.h"
#include "platform/link_library.h"
#include "platform/xls/spreadsheet.h"
#include "platform/xls/workbook_file.h"
#include "report/fill_report.h"
#include "report/flash_fields.h"
#include "report/record_layout.h"
#include "report/report_template.h"
#include "report/transfer_session.h"
#include "scripted_operator.h"
#include "settings/memory_map.h"

#include <benchmark/benchmark.h>

namespace ksx4 {
namespace {

struct BenchProgram {
    test::VirtualClock clock;
    test::ScriptedOperator ui{clock};
    LinkLibrary link{"ksx4_com_not_loaded"};
    ProgramState state{ui, clock, link};
    TransferSession session;

    explicit BenchProgram(uint16_t testerType) {
        state.testerType = testerType;
        const record::Layout& layout =
            testerType == kKsx4Pa ? record::kProfibusPa : record::kFieldbus;
        for (int slot = 1; slot <= flash::kSlotCount; ++slot) {
            const int base = flash::slotBase(slot);
            auto put = [&](int offset, uint8_t value) {
                state.flashImage[static_cast<std::size_t>(base + offset)] = value;
            };
            put(layout.voltage, 0xB4);  // 24500 mV, low byte first
            put(layout.voltage + 1, 0x5F);
            put(layout.shieldShort, record::kNoShorts);
            if (layout.savedTime != record::kNone) put(layout.savedTime, 0x0C);
            for (int entry = 1; entry <= record::kDeviceEntryCount; ++entry) {
                const int offset = record::deviceEntryOffset(layout, entry);
                put(offset + layout.entryAddress, static_cast<uint8_t>(entry + 16));
                put(offset + layout.entrySignal, static_cast<uint8_t>(100 + entry * 10));
                put(offset + layout.entryStatus, entry % 7 == 0 ? 2 : 1);
                put(offset + layout.entryRetransmits, static_cast<uint8_t>(entry * 9));
            }
        }
        for (const eeprom::Field& limit :
             {eeprom::kVoltageLimit, eeprom::kSignalLimit, eeprom::kAvgLowNoiseLimit,
              eeprom::kPeakLowNoiseLimit, eeprom::kAvgFieldbusNoiseLimit,
              eeprom::kPeakFieldbusNoiseLimit, eeprom::kAvgHighNoiseLimit,
              eeprom::kPeakHighNoiseLimit, eeprom::kRetransmitLimit}) {
            state.eepromImage[static_cast<std::size_t>(limit.address + 1)] = 150;
        }
    }

    // One report as the transfer builds it, up to the file's bytes.
    std::size_t buildReport(int slot) {
        const int base = flash::slotBase(slot);
        session.reportWorkbook = &session.excelApp->addWorkbook();
        session.reportSheet = &session.reportWorkbook->worksheet(1);
        const uint16_t devices = countDeviceEntries(state, slot);
        if (!makeTemplate(state, session, devices, QStringLiteral("North field")) ||
            !fillReport(state, session, slot, base, devices)) {
            return 0;
        }
        const std::size_t size = xls::buildWorkbookFile(*session.reportWorkbook).size();
        session.reportWorkbook->close(false);
        return size;
    }
};

void oneReport(benchmark::State& bench) {
    BenchProgram program(static_cast<uint16_t>(bench.range(0)));
    std::size_t fileBytes = 0;
    for (auto _ : bench) {
        program.session.excelApp = xls::Application::create(program.ui);
        fileBytes = program.buildReport(1);
        benchmark::DoNotOptimize(fileBytes);
    }
    bench.counters["file_bytes"] = static_cast<double>(fileBytes);  // 0: building failed
}

void eightReports(benchmark::State& bench) {
    BenchProgram program(static_cast<uint16_t>(bench.range(0)));
    for (auto _ : bench) {
        program.session.excelApp = xls::Application::create(program.ui);
        for (int slot = 1; slot <= flash::kSlotCount; ++slot) {
            benchmark::DoNotOptimize(program.buildReport(slot));
        }
    }
}

BENCHMARK(oneReport)->Arg(kKsx4)->Arg(kKsx4Pa)->Unit(benchmark::kMicrosecond);
BENCHMARK(eightReports)->Arg(kKsx4)->Arg(kKsx4Pa)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace ksx4

BENCHMARK_MAIN();
