#include "fault_plan.h"

#include <charconv>

namespace ksx4::gpibsim {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

template <typename T>
bool parseWhole(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc{} && end == text.data() + text.size();
}

std::optional<std::pair<uint64_t, int>> parseRule(std::string_view line) {
    size_t gap = 0;
    while (gap < line.size() && !isBlank(line[gap])) ++gap;
    uint64_t call = 0;
    int iberr = 0;
    if (!parseWhole(line.substr(0, gap), call) || call == 0) return {};
    if (!parseWhole(trim(line.substr(gap)), iberr) || iberr < 0 || iberr > 32767) return {};
    return std::pair{call, iberr};
}

}  // namespace

std::optional<FaultPlan> parseFaultPlan(std::string_view text) {
    FaultPlan plan;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        const auto rule = parseRule(line);
        if (!rule || !plan.emplace(rule->first, rule->second).second) return std::nullopt;
    }
    return plan;
}

}  // namespace ksx4::gpibsim
