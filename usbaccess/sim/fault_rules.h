#pragma once
// The simulator's fault plan: the optional file `faults` in the state folder,
// one rule `<n> <kind>` per line, n counting exchanges from 1.
#include <cstdint>
#include <map>
#include <optional>
#include <string_view>

namespace ksx4::sim {

enum FaultKind : uint8_t {
    kWriteTimeout = 1 << 0,  // the write fails with ETIMEDOUT
    kReadTimeout = 1 << 1,   // the write succeeds, the read fails with ETIMEDOUT
    kShortReply = 1 << 2,    // one byte fewer than asked
    kBadEcho = 1 << 3,       // reply byte 1 altered
    kUnplug = 1 << 4,        // the tester detaches before the write
};

// Exchange number -> the kinds (bits of FaultKind) that strike it.
using FaultPlan = std::map<uint64_t, uint8_t>;

// Lines starting with '#' and blank lines are skipped. Any other line that is
// not exactly a positive number and a known kind makes the whole plan invalid
// (nullopt), so that a typo is never silently ignored.
std::optional<FaultPlan> parseFaultRules(std::string_view text);

}  // namespace ksx4::sim
