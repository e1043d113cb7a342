#include "selection.h"

#include <cctype>
#include <cstring>
#include <string_view>

namespace ksx4::usb {
namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

std::optional<uint16_t> fourHexDigits(std::string_view text) {
    if (text.size() < 4) return std::nullopt;
    uint16_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!std::isxdigit(c)) return std::nullopt;
        const int digit = std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10;
        value = static_cast<uint16_t>(value * 16 + digit);
    }
    return value;
}

}  // namespace

std::optional<DeviceSelection> parseSelection(const char* selection) {
    if (!selection) return std::nullopt;
    const std::string_view text(selection);
    // "vid_" 4 digits "&pid_" 4 digits: 17 characters.
    if (text.size() != 17 || !startsWithIgnoringCase(text, "vid_") ||
        !startsWithIgnoringCase(text.substr(8), "&pid_"))
        return std::nullopt;
    const auto vendor = fourHexDigits(text.substr(4));
    const auto product = fourHexDigits(text.substr(13));
    if (!vendor || !product) return std::nullopt;
    return DeviceSelection{*vendor, *product};
}

std::optional<uint8_t> parseEndpoint(const char* endpoint) {
    if (!endpoint) return std::nullopt;
    const std::string_view text(endpoint);
    constexpr std::string_view prefix = "\\mchp_ep";
    if (!startsWithIgnoringCase(text, prefix)) return std::nullopt;
    const std::string_view digits = text.substr(prefix.size());
    if (digits.empty() || digits.size() > 2) return std::nullopt;
    unsigned number = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number > 15 || (digits.size() == 2 && digits[0] == '0')) return std::nullopt;
    return static_cast<uint8_t>(number);
}

std::optional<uint8_t> endpointAddress(uint8_t number, uint32_t direction) {
    if (number > 15 || direction > 1) return std::nullopt;
    return static_cast<uint8_t>(direction == 1 ? 0x80 | number : number);
}

}  // namespace ksx4::usb
