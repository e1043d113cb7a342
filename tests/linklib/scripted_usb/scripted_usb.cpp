// The scripted USB access library: answers the tester's memory commands from
// its own memories, records each call and applies the faults a test set up.
#include "scripted_usb.h"

#include "mpusbapi.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace {

struct Fault {
    uint32_t exchange;
    ScriptedFaultKind kind;
    int32_t value;
    uint32_t index;
};

struct Pipe {
    uint32_t direction;
    bool open;
};

struct Tester {
    uint8_t flash[0x8000];
    uint8_t eeprom[256];
    uint32_t deviceCount = 1;
    bool openFails[2] = {false, false};
    bool recording = true;
    std::vector<ScriptedCall> calls;
    std::vector<Fault> faults;
    Pipe pipes[64];
    uint32_t pipeCount = 0;
    uint32_t exchanges = 0;
    uint8_t reply[SCRIPTED_MAX_BYTES];
    uint32_t replyLength = 0;

    Tester() { reset(); }

    void reset() {
        for (uint32_t a = 0; a < sizeof flash; ++a)
            flash[a] = static_cast<uint8_t>(a * 7 + (a >> 8));
        for (uint32_t a = 0; a < sizeof eeprom; ++a) eeprom[a] = static_cast<uint8_t>(0xA0 ^ a);
        deviceCount = 1;
        openFails[0] = openFails[1] = false;
        recording = true;
        calls.clear();
        calls.reserve(4096);
        faults.clear();
        pipeCount = 0;
        exchanges = 0;
        replyLength = 0;
    }

    ScriptedCall& record(ScriptedCallKind kind, void* handle) {
        static ScriptedCall discarded;
        if (!recording) return discarded = ScriptedCall{};
        calls.push_back(ScriptedCall{});
        calls.back().kind = kind;
        calls.back().handle = handle;
        return calls.back();
    }

    std::optional<Fault> faultNow(ScriptedFaultKind kind) const {
        for (const Fault& f : faults) {
            if (f.exchange == exchanges && f.kind == kind) return f;
        }
        return std::nullopt;
    }

    Pipe* pipe(void* handle) {
        const auto number = reinterpret_cast<uintptr_t>(handle);
        if (number < 1 || number > pipeCount) return nullptr;
        Pipe* p = &pipes[number - 1];
        return p->open ? p : nullptr;
    }

    // The tester's answer to one command packet.
    void answer(const uint8_t* packet, uint32_t length) {
        replyLength = 0;
        if (length == 0) return;
        const uint8_t code = packet[0];
        if (code == 0xFF) return;  // reset: empty reply
        if (length < 5) return;
        const uint32_t count = packet[1];
        const uint32_t address = packet[2] | packet[3] << 8 | packet[4] << 16;
        std::memcpy(reply, packet, 5);
        switch (code) {
            case 0x01:
            case 0x04: {
                const bool isFlash = code == 0x01;
                const uint8_t* memory = isFlash ? flash : eeprom;
                const uint32_t size = isFlash ? sizeof flash : sizeof eeprom;
                for (uint32_t i = 0; i < count && 5 + i < SCRIPTED_MAX_BYTES; ++i) {
                    reply[5 + i] = memory[(address + i) % size];
                }
                replyLength = std::min<uint32_t>(5 + count, SCRIPTED_MAX_BYTES);
                return;
            }
            case 0x02:
                for (uint32_t i = 0; i < count && 5 + i < length; ++i) {
                    flash[(address + i) % sizeof flash] = packet[5 + i];
                }
                break;
            case 0x03:
                for (uint32_t i = 0; i < 64; ++i) flash[(address + i) % sizeof flash] = 0xFF;
                break;
            case 0x05:
                for (uint32_t i = 0; i < count && 5 + i < length; ++i) {
                    eeprom[(address + i) % sizeof eeprom] = packet[5 + i];
                }
                break;
            default:
                return;  // unknown command: no answer
        }
        replyLength = 1;  // writes and erases echo the code only
    }
};

Tester tester;

void copyText(char* to, size_t size, const char* from) {
    if (from == nullptr) return;
    std::strncpy(to, from, size - 1);
}

}  // namespace

extern "C" {

uint32_t _MPUSBGetDeviceCount(const char* selection) {
    copyText(tester.record(SCRIPTED_GET_DEVICE_COUNT, nullptr).selection, 32, selection);
    return tester.deviceCount;
}

void* _MPUSBOpen(uint32_t instance, const char* selection, const char* endpoint, uint32_t direction,
                 uint32_t reserved) {
    void* handle = MPUSB_INVALID_HANDLE;
    if (direction < 2 && !tester.openFails[direction] && tester.pipeCount < 64) {
        tester.pipes[tester.pipeCount++] = Pipe{direction, true};
        handle = reinterpret_cast<void*>(static_cast<uintptr_t>(tester.pipeCount));
    }
    ScriptedCall& call = tester.record(SCRIPTED_OPEN, handle);
    call.instance = instance;
    call.direction = direction;
    call.reserved = reserved;
    copyText(call.selection, sizeof call.selection, selection);
    copyText(call.endpoint, sizeof call.endpoint, endpoint);
    return handle;
}

uint32_t _MPUSBWrite(void* handle, const void* data, uint32_t length, uint32_t* sent,
                     uint32_t timeoutMs) {
    ++tester.exchanges;
    ScriptedCall& call = tester.record(SCRIPTED_WRITE, handle);
    call.length = length;
    call.timeoutMs = timeoutMs;
    std::memcpy(call.bytes, data, std::min<uint32_t>(length, SCRIPTED_MAX_BYTES));
    *sent = 0;
    tester.replyLength = 0;
    Pipe* pipe = tester.pipe(handle);
    if (pipe == nullptr || pipe->direction != MPUSB_DIRECTION_WRITE) {
        errno = MPUSB_ERROR_INVALID_HANDLE;
        return 0;
    }
    if (auto fault = tester.faultNow(SCRIPTED_WRITE_FAILS)) {
        errno = fault->value;
        return 0;
    }
    tester.answer(static_cast<const uint8_t*>(data), length);
    *sent = length;
    return 1;
}

uint32_t _MPUSBRead(void* handle, void* data, uint32_t length, uint32_t* received,
                    uint32_t timeoutMs) {
    ScriptedCall& call = tester.record(SCRIPTED_READ, handle);
    call.length = length;
    call.timeoutMs = timeoutMs;
    *received = 0;
    Pipe* pipe = tester.pipe(handle);
    if (pipe == nullptr || pipe->direction != MPUSB_DIRECTION_READ) {
        errno = MPUSB_ERROR_INVALID_HANDLE;
        return 0;
    }
    if (auto fault = tester.faultNow(SCRIPTED_READ_FAILS)) {
        errno = fault->value;
        return 0;
    }
    if (auto fault = tester.faultNow(SCRIPTED_REPLY_BYTE)) {
        tester.reply[fault->index % SCRIPTED_MAX_BYTES] = static_cast<uint8_t>(fault->value);
    }
    uint32_t replyLength = tester.replyLength;
    if (auto fault = tester.faultNow(SCRIPTED_REPLY_LENGTH)) {
        replyLength = static_cast<uint32_t>(fault->value);
    }
    const uint32_t filled = std::min(replyLength, length);
    std::memcpy(data, tester.reply, filled);
    *received = filled;
    if (auto fault = tester.faultNow(SCRIPTED_CLAIM_RECEIVED)) {
        *received = static_cast<uint32_t>(fault->value);
    }
    return 1;
}

uint32_t _MPUSBReadInt(void*, void*, uint32_t, uint32_t*, uint32_t) {
    return 0;
}

uint32_t _MPUSBClose(void* handle) {
    tester.record(SCRIPTED_CLOSE, handle);
    Pipe* pipe = tester.pipe(handle);
    if (pipe == nullptr) return 0;
    pipe->open = false;
    return 1;
}

void scriptedUsbReset(void) {
    tester.reset();
}
void scriptedUsbForgetCalls(void) {
    tester.calls.clear();
    tester.faults.clear();
    tester.exchanges = 0;
}
void scriptedUsbSetDeviceCount(uint32_t count) {
    tester.deviceCount = count;
}
void scriptedUsbFailOpen(uint32_t direction) {
    if (direction < 2) tester.openFails[direction] = true;
}
void scriptedUsbSetRecording(int on) {
    tester.recording = on != 0;
}
void scriptedUsbFault(uint32_t exchange, ScriptedFaultKind kind, int32_t value, uint32_t index) {
    tester.faults.push_back(Fault{exchange, kind, value, index});
}
uint32_t scriptedUsbCallCount(void) {
    return static_cast<uint32_t>(tester.calls.size());
}
const ScriptedCall* scriptedUsbCall(uint32_t index) {
    return index < tester.calls.size() ? &tester.calls[index] : nullptr;
}
uint32_t scriptedUsbExchangeCount(void) {
    return tester.exchanges;
}
uint8_t* scriptedUsbFlash(void) {
    return tester.flash;
}
uint8_t* scriptedUsbEeprom(void) {
    return tester.eeprom;
}

}  // extern "C"
