#pragma once
// A simulated tester built from a description in JSON: the tester's kind,
// serial number, firmware marker, limits and report names, and each stored
// report's measurements. What the description leaves out takes a plausible
// default; what it gives is checked against what the tester's memories can
// hold, so a description never turns silently into other bytes.
#include "tester_image.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace ksx4::sim {

struct DescribedTester {
    TesterImage image;
    bool pa = false;
    uint16_t serial = 0;
    int reports = 0;
};

// The tester, or why the description cannot be one: the reason names the
// field as a path ("reports[2].devices[0].signal: ...").
std::variant<DescribedTester, std::string> describedTester(std::string_view json);

// The same from a file; the reason begins with the file's name.
std::variant<DescribedTester, std::string> readDescribedTester(const std::filesystem::path& file);

// A moment "YYYY-MM-DDTHH:MM[:SS]" as report ticks (2.048 seconds from
// 1 January 1972): the first tick shown at or after it (at most 2 s later).
// Empty when the text is no such moment or the tester cannot store it (the
// first byte of a stored time is never 0, so the earliest is
// 1973-02-01T16:22:18).
std::optional<uint32_t> ticksFromText(std::string_view text);

}  // namespace ksx4::sim
