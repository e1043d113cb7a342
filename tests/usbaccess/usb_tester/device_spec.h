#pragma once
// A USB device as the tests' buses offer it (the scripted libusb and the
// emulated usbfs alike): where it sits, its IDs, the endpoints of interface
// 0, and the tester's memories behind them.
#include "tester_image.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace ksx4::test {

// bmAttributes transfer types of an endpoint descriptor.
inline constexpr uint8_t kBulkEndpoint = 2;
inline constexpr uint8_t kInterruptEndpoint = 3;

struct Endpoint {
    uint8_t address = 0x01;  // 0x80 set: IN
    uint8_t type = kBulkEndpoint;
    uint16_t maxPacketSize = 64;
};

struct DeviceSpec {
    uint8_t bus = 1;
    uint8_t address = 2;
    uint16_t vendor = 0x04D8;
    uint16_t product = 0xFFCA;
    uint8_t deviceClass = 0;  // bDeviceClass: 0, the class is given per interface
    std::vector<Endpoint> endpoints = {{0x01}, {0x81}};  // of interface 0
    bool kernelDriverBound = false;
    // The memories of a tester answering the command protocol; nullopt: a
    // device that never answers.
    std::optional<sim::TesterImage> tester;

    // The endpoint of interface 0 at the address, or nullptr.
    const Endpoint* endpoint(uint8_t address) const {
        for (const Endpoint& e : endpoints)
            if (e.address == address) return &e;
        return nullptr;
    }
};

// A tester device as it is usually found: bus 1, address 2, bulk endpoint 1
// both ways, 64-byte packets.
inline DeviceSpec testerDevice(const sim::TesterImage& image) {
    DeviceSpec spec;
    spec.tester = image;
    return spec;
}

}  // namespace ksx4::test
