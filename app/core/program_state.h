#pragma once
// The program-wide values, in one object passed to every operation.
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>

namespace ksx4 {

class Operator;
class Clock;
class LinkLibrary;
namespace xls {
class Application;
class Workbook;
class Worksheet;
}  // namespace xls

enum TesterType : uint16_t { kKsx4 = 0, kKsx4Pa = 1, kTypeUnknown = 2 };

// One interval timer of the timer table behind pauseMs.
struct IntervalTimer {
    std::chrono::nanoseconds start{0};
    double durationSeconds = 0;
    double elapsedSeconds = 0;
    bool expired = false;
};

struct ProgramState {
    // Both out of line: they release the spreadsheet application, whose type
    // is complete only in program_state.cpp.
    ProgramState(Operator& ui, Clock& clock, LinkLibrary& link);
    ~ProgramState();
    ProgramState(const ProgramState&) = delete;
    ProgramState& operator=(const ProgramState&) = delete;

    Operator& ui;
    Clock& clock;
    LinkLibrary& link;

    uint16_t testerType = kKsx4;
    uint16_t firmwareMarker = 255;
    std::array<uint8_t, 256> eepromImage{};
    std::array<uint8_t, 32768> flashImage{};
    std::array<IntervalTimer, 10> timers{};  // timer n is timers[n - 1]

    // The report transfer's shared values.
    uint16_t deviceEntryCount = 0;
    uint16_t transferredCount = 0;
    std::unique_ptr<xls::Application> excelApp;
    xls::Workbook* reportWorkbook = nullptr;
    xls::Worksheet* reportSheet = nullptr;
};

}  // namespace ksx4
