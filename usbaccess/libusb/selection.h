#pragma once
// The names a caller uses to pick a device and a pipe: the selection string
// "vid_XXXX&pid_YYYY" and the endpoint name "\MCHP_EPn".
#include <cstdint>
#include <optional>

namespace ksx4::usb {

struct DeviceSelection {
    uint16_t vendor = 0;
    uint16_t product = 0;
    bool operator==(const DeviceSelection&) const = default;
};

// Exactly four hexadecimal digits each, letters in either case; nullptr or
// anything else gives nullopt.
std::optional<DeviceSelection> parseSelection(const char* selection);

// The endpoint number n (0..15) of "\MCHP_EPn", letters in either case.
std::optional<uint8_t> parseEndpoint(const char* endpoint);

// Direction 0 is the OUT endpoint n, 1 the IN endpoint 0x80 | n; any other
// direction gives nullopt.
std::optional<uint8_t> endpointAddress(uint8_t number, uint32_t direction);

}  // namespace ksx4::usb
