#pragma once
// The program-wide values, in one object passed to every operation.
#include <array>
#include <chrono>
#include <cstdint>

namespace ksx4 {

class Operator;
class Clock;
class LinkLibrary;

enum TesterType : uint16_t { kKsx4 = 0, kKsx4Pa = 1, kTypeUnknown = 2 };

// One interval timer of the timer table behind pauseMs.
struct IntervalTimer {
    std::chrono::nanoseconds start{0};
    double durationSeconds = 0;
    double elapsedSeconds = 0;
    bool expired = false;
};

struct ProgramState {
    ProgramState(Operator& ui, Clock& clock, LinkLibrary& link)
        : ui(ui), clock(clock), link(link) {}
    ProgramState(const ProgramState&) = delete;
    ProgramState& operator=(const ProgramState&) = delete;

    Operator& ui;
    Clock& clock;
    LinkLibrary& link;

    uint16_t testerType = kKsx4;
    // The serial number word of the last tester kind read (EEPROM 254..255,
    // high byte first; a KSX-4-PA's number plus 32768).
    uint16_t testerSerialWord = 0;
    // The marker of the last firmware seen (tester or file); until one is
    // seen, 0: KSX-4 firmware.
    uint16_t firmwareMarker = 0;
    std::array<uint8_t, 256> eepromImage{};
    std::array<uint8_t, 32768> flashImage{};
    std::array<IntervalTimer, 10> timers{};  // timer n is timers[n - 1]
};

}  // namespace ksx4
