#include "fault_rules.h"

#include <charconv>

namespace ksx4::sim {
namespace {

constexpr struct {
    std::string_view name;
    FaultKind kind;
} kKinds[] = {{"write-timeout", kWriteTimeout},
              {"read-timeout", kReadTimeout},
              {"short-reply", kShortReply},
              {"bad-echo", kBadEcho},
              {"unplug", kUnplug}};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::optional<std::pair<uint64_t, FaultKind>> parseRule(std::string_view line) {
    size_t gap = 0;
    while (gap < line.size() && !isBlank(line[gap])) ++gap;
    const std::string_view number = line.substr(0, gap);
    const std::string_view kindName = trim(line.substr(gap));
    uint64_t n = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), n);
    if (error != std::errc{} || end != number.data() + number.size() || n == 0) return {};
    for (const auto& known : kKinds)
        if (known.name == kindName) return std::pair{n, known.kind};
    return {};
}

}  // namespace

std::optional<FaultPlan> parseFaultRules(std::string_view text) {
    FaultPlan plan;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        const auto rule = parseRule(line);
        if (!rule) return std::nullopt;
        plan[rule->first] |= rule->second;
    }
    return plan;
}

}  // namespace ksx4::sim
