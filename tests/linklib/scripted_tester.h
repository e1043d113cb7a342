#pragma once
// Fixture for tests of the link library's exports against the scripted USB
// access library: a fresh tester per test and readable views of the calls.
#include "ksx4/ksx4_com.h"
#include "mpusbapi.h"
#include "scripted_usb.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ksx4::test {

struct Packet {
    std::vector<uint8_t> bytes;
    uint32_t writeTimeoutMs = 0;
    uint32_t readTimeoutMs = 0;  // of the read that followed, 0 if none
    uint32_t replyAskedFor = 0;  // maximum length of that read
};

inline std::vector<const ScriptedCall*> calls(ScriptedCallKind kind) {
    std::vector<const ScriptedCall*> found;
    for (uint32_t i = 0; i < scriptedUsbCallCount(); ++i) {
        if (scriptedUsbCall(i)->kind == kind) found.push_back(scriptedUsbCall(i));
    }
    return found;
}

// Every packet written, with the time-outs of its write and of the read after it.
inline std::vector<Packet> packets() {
    std::vector<Packet> found;
    for (uint32_t i = 0; i < scriptedUsbCallCount(); ++i) {
        const ScriptedCall& call = *scriptedUsbCall(i);
        if (call.kind == SCRIPTED_WRITE) {
            found.push_back({{call.bytes, call.bytes + call.length}, call.timeoutMs, 0, 0});
        } else if (call.kind == SCRIPTED_READ && !found.empty()) {
            found.back().readTimeoutMs = call.timeoutMs;
            found.back().replyAskedFor = call.length;
        }
    }
    return found;
}

inline uint32_t packetAddress(const Packet& p) {
    return p.bytes[2] | p.bytes[3] << 8 | p.bytes[4] << 16;
}

class ScriptedTester : public ::testing::Test {
  protected:
    void SetUp() override {
        scriptedUsbReset();
        // Each test runs in a process of its own, so the connection starts closed.
        ASSERT_EQ(TessCommCloseDevice(), DEVICE_NOT_OPENED_YET);
    }

    // Opens the connection and forgets the calls that did it.
    void openTester() {
        ASSERT_EQ(TessCommOpenDevice(0), OPERATION_SUCCESS);
        forgetCalls();
    }

    // Fault numbering restarts too: exchange 1 is the next one.
    static void forgetCalls() { scriptedUsbForgetCalls(); }
};

}  // namespace ksx4::test
