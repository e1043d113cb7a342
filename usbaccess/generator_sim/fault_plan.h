#pragma once
// The simulated generator's fault plan: the optional file `gpib-faults` in the
// state folder, one rule `<call number> <iberr>` per line. Calls (ibdev,
// ibclr, ibwrt and ibonl together) count from 1.
#include <cstdint>
#include <map>
#include <optional>
#include <string_view>

namespace ksx4::gpibsim {

// Call number -> the iberr that call fails with.
using FaultPlan = std::map<uint64_t, int>;

// Lines starting with '#' and blank lines are skipped. Any other line that is
// not exactly a positive call number and an iberr from 0 to 32767, or a
// second rule for the same call, makes the whole plan invalid (nullopt), so
// that a typo is never silently ignored.
std::optional<FaultPlan> parseFaultPlan(std::string_view text);

}  // namespace ksx4::gpibsim
