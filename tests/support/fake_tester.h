#pragma once
// A fake link library for unit tests: the nine exports bound to an in-memory
// tester whose results can be scripted call by call. One fake is active at a
// time (the exports are plain functions); it counts every call.
#include "platform/link_library.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace ksx4::test {

class FakeTester {
  public:
    FakeTester();  // becomes the active fake
    ~FakeTester();
    FakeTester(const FakeTester&) = delete;
    FakeTester& operator=(const FakeTester&) = delete;

    // A link library whose exports call this fake.
    LinkLibrary& link() { return link_; }

    // The tester's side.
    int attached = 1;  // what the device count reports
    bool connectionOpen = false;
    std::array<uint8_t, 256> eeprom{};
    std::array<uint8_t, 32768> flash{};

    // Scripted results, used in order before the natural behaviour: a
    // scripted result other than 0 fails the call without touching memory.
    std::deque<int32_t> deviceCounts;
    std::deque<int32_t> openResults;
    std::deque<int32_t> closeResults;
    std::deque<int32_t> eepromReadResults;
    std::deque<int32_t> eepromWriteResults;
    std::deque<int32_t> flashReadResults;
    std::deque<int32_t> bootLoadResults;
    // Called at every device count, before it answers (e.g. to plug in).
    std::function<void(int call)> onDeviceCount;
    // Called at every boot load, before it answers.
    std::function<void()> onBootLoad;

    // Calls made.
    int deviceCountCalls = 0;
    int openCalls = 0;
    int closeCalls = 0;
    int eepromReads = 0;
    int eepromWrites = 0;
    int flashReads = 0;
    std::vector<std::string> bootLoadPaths;  // one per boot load

    // Natural behaviour of the exports, as the link library answers.
    int32_t getDeviceCount();
    int32_t openDevice(uint32_t instance);
    int32_t closeDevice();
    int32_t readEEMemory(uint32_t address, uint32_t length, uint8_t* buffer);
    int32_t writeEEMemory(uint32_t address, uint32_t length, const uint8_t* data);
    int32_t readFlashMemory(uint32_t address, uint32_t length, uint8_t* buffer);
    int32_t bootLoad(const char* path);

    // Sets a high-byte-first word in the fake EEPROM.
    void setWord(int address, uint16_t value);

  private:
    LinkLibrary link_;
};

}  // namespace ksx4::test
