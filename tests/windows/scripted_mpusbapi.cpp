// The Wine tests' mpusbapi.dll: a tester that answers flash and EEPROM reads
// from fixed patterns, counts the calls, and fails one write or read with a
// chosen last-error value when a test asks for it.
#include "scripted_mpusbapi.h"

#include "mpusbapi.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kFlashSize = 0x8000;
constexpr uint32_t kEepromSize = 256;
constexpr uint32_t kMaxPipes = 64;
constexpr uint32_t kMaxReply = 64;

struct Fault {
    bool armed = false;
    uint32_t lastError = 0;
};

struct Tester {
    uint32_t deviceCount = 1;
    ScriptedCounts counts = {};
    uint32_t pipeDirections[kMaxPipes] = {};
    bool pipeOpen[kMaxPipes] = {};
    uint32_t pipeCount = 0;
    Fault writeFault;
    Fault readFault;
    uint8_t reply[kMaxReply] = {};
    uint32_t replyLength = 0;

    // Whether handle names an open pipe of that direction.
    bool validPipe(void* handle, uint32_t direction) const {
        const auto number = reinterpret_cast<uintptr_t>(handle);
        if (number < 1 || number > pipeCount) return false;
        return pipeOpen[number - 1] && pipeDirections[number - 1] == direction;
    }

    // Reads are answered with the 5-byte header and the data; anything else
    // with the echoed command code.
    void answer(const uint8_t* packet, uint32_t length) {
        replyLength = 0;
        if (length < 5) return;
        const uint8_t code = packet[0];
        const uint32_t count = packet[1];
        const uint32_t address = packet[2] | packet[3] << 8 | packet[4] << 16;
        std::memcpy(reply, packet, 5);
        if (code != 0x01 && code != 0x04) {
            replyLength = 1;
            return;
        }
        const uint32_t size = code == 0x01 ? kFlashSize : kEepromSize;
        replyLength = std::min<uint32_t>(5 + count, kMaxReply);
        for (uint32_t i = 0; 5 + i < replyLength; ++i) {
            const uint32_t at = (address + i) % size;
            reply[5 + i] = code == 0x01 ? scriptedFlashByte(at) : scriptedEepromByte(at);
        }
    }
};

Tester tester;

// One armed fault fires once: SetLastError and report failure.
bool fire(Fault& fault) {
    if (!fault.armed) return false;
    fault.armed = false;
    SetLastError(fault.lastError);
    return true;
}

}  // namespace

extern "C" {

uint32_t _MPUSBGetDeviceCount(const char*) {
    return tester.deviceCount;
}

void* _MPUSBOpen(uint32_t, const char*, const char*, uint32_t direction, uint32_t) {
    ++tester.counts.opens;
    if (direction > 1 || tester.pipeCount == kMaxPipes) return MPUSB_INVALID_HANDLE;
    tester.pipeDirections[tester.pipeCount] = direction;
    tester.pipeOpen[tester.pipeCount] = true;
    ++tester.pipeCount;
    ++tester.counts.openPipes;
    return reinterpret_cast<void*>(static_cast<uintptr_t>(tester.pipeCount));
}

uint32_t _MPUSBWrite(void* handle, const void* data, uint32_t length, uint32_t* sent, uint32_t) {
    ++tester.counts.writes;
    *sent = 0;
    tester.replyLength = 0;
    if (!tester.validPipe(handle, MPUSB_DIRECTION_WRITE)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (fire(tester.writeFault)) return 0;
    tester.answer(static_cast<const uint8_t*>(data), length);
    *sent = length;
    return 1;
}

uint32_t _MPUSBRead(void* handle, void* data, uint32_t length, uint32_t* received, uint32_t) {
    ++tester.counts.reads;
    *received = 0;
    if (!tester.validPipe(handle, MPUSB_DIRECTION_READ)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (fire(tester.readFault)) return 0;
    *received = std::min(tester.replyLength, length);
    std::memcpy(data, tester.reply, *received);
    return 1;
}

uint32_t _MPUSBReadInt(void*, void*, uint32_t, uint32_t*, uint32_t) {
    return 0;
}

uint32_t _MPUSBClose(void* handle) {
    ++tester.counts.closes;
    const auto number = reinterpret_cast<uintptr_t>(handle);
    if (number < 1 || number > tester.pipeCount || !tester.pipeOpen[number - 1]) return 0;
    tester.pipeOpen[number - 1] = false;
    --tester.counts.openPipes;
    return 1;
}

void scriptedReset(void) {
    const uint32_t openPipes = tester.counts.openPipes;
    tester.deviceCount = 1;
    tester.counts = ScriptedCounts{};
    tester.counts.openPipes = openPipes;
    tester.writeFault = Fault{};
    tester.readFault = Fault{};
}

void scriptedSetDeviceCount(uint32_t count) {
    tester.deviceCount = count;
}

void scriptedFailNext(int failWrite, uint32_t lastError) {
    (failWrite ? tester.writeFault : tester.readFault) = Fault{true, lastError};
}

void scriptedCounts(ScriptedCounts* counts) {
    *counts = tester.counts;
}

}  // extern "C"
