// The six entry points of the simulated tester's libmpusbapi.so.
#include "mpusbapi.h"
#include "simulator.h"

#include <cerrno>

namespace {

ksx4::sim::Simulator& simulator() {
    static ksx4::sim::Simulator instance;  // lives until the process ends
    return instance;
}

// errno is set last, after every lock and destructor has run.
uint32_t finish(ksx4::sim::Outcome outcome) {
    if (outcome.result == 0) errno = outcome.error;
    return outcome.result;
}

// The simulated testers start when the library is loaded.
__attribute__((constructor)) void startTesters() {
    simulator().startAttachedTesters();
}

}  // namespace

extern "C" {

uint32_t _MPUSBGetDeviceCount(const char* selection) {
    return simulator().deviceCount(selection);
}

void* _MPUSBOpen(uint32_t instance, const char* selection, const char* endpoint, uint32_t direction,
                 uint32_t /*reserved*/) {
    return simulator().open(instance, selection, endpoint, direction);
}

uint32_t _MPUSBWrite(void* handle, const void* data, uint32_t length, uint32_t* sent,
                     uint32_t /*timeoutMs*/) {
    return finish(simulator().write(handle, data, length, sent));
}

uint32_t _MPUSBRead(void* handle, void* data, uint32_t length, uint32_t* received,
                    uint32_t /*timeoutMs*/) {
    return finish(simulator().read(handle, data, length, received));
}

uint32_t _MPUSBReadInt(void* handle, void* data, uint32_t length, uint32_t* received,
                       uint32_t /*timeoutMs*/) {
    return finish(simulator().read(handle, data, length, received));
}

uint32_t _MPUSBClose(void* handle) {
    return finish(simulator().close(handle));
}

}  // extern "C"
