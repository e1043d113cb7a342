#pragma once
// The real link library (against the simulated tester), with every EEPROM
// write it is asked for recorded in order: what reached the tester is in the
// simulator's files, the order of the writes is here. One recorder is active
// at a time (the exports are plain functions).
#include "platform/link_library.h"
#include "platform/shared_library.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace ksx4::test {

struct RecordedWrite {
    uint32_t address;
    std::vector<uint8_t> bytes;
    int32_t result;
};

class RecordingLink {
  public:
    RecordingLink();  // loads libksx4_com through the search order; becomes active
    ~RecordingLink();
    RecordingLink(const RecordingLink&) = delete;
    RecordingLink& operator=(const RecordingLink&) = delete;

    LinkLibrary& link() { return *link_; }
    // false when the library could not be loaded (the test has failed).
    bool loaded() const { return loaded_; }

    std::vector<RecordedWrite> writes;
    LinkExports real;

  private:
    SharedLibrary library_;
    bool loaded_ = false;
    std::unique_ptr<LinkLibrary> link_;
};

}  // namespace ksx4::test
