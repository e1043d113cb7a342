#pragma once
// The simulated signal generator of one process. It accepts any command
// string, appends each written string as one line to generator.log in the
// state folder named by KSX4_SIM_DIR, and fails the calls its gpib-faults
// plan names. Without a folder it works the same and logs nowhere.
//
// The call count belongs to the state folder: it starts again from 1 when
// KSX4_SIM_DIR names another folder (in a program it never changes; a test
// process takes a fresh folder per test).
#include <cstdint>
#include <mutex>
#include <set>
#include <string>

namespace ksx4::gpibsim {

// The status a call leaves, as the library reports it.
struct Status {
    int ibsta = 0;
    int iberr = 0;
    long ibcntl = 0;
};

// A call's return value (ibsta, or the descriptor for ibdev) and its status.
struct Outcome {
    int result = 0;
    Status status;
};

class Generator {
  public:
    Outcome ibdev(int board, int pad, int sad, int timo, int eot, int eos);
    Outcome ibclr(int ud);
    Outcome ibwrt(int ud, const void* data, long count);
    Outcome ibonl(int ud, int online);

  private:
    // Counts the call; the failure it must end with when the plan (or a
    // malformed plan) says so.
    bool plannedFailure(Outcome& failure);
    bool isOpen(int ud) const { return open_.contains(ud); }
    // errno when the line could not be appended, else 0.
    int appendToLog(const std::string& line) const;

    std::mutex mutex_;
    std::string folder_;  // the state folder the count belongs to
    uint64_t calls_ = 0;
    std::set<int> open_;
    int nextDescriptor_ = kFirstDescriptor;

    static constexpr int kFirstDescriptor = 16;  // board descriptors come first
};

// A written string as one log line: bytes below 0x20, 0x7F and the backslash
// are shown as \xNN, so that every string stays on one line.
std::string logLine(const void* data, long count);

}  // namespace ksx4::gpibsim
