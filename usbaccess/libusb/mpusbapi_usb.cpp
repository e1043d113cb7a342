// The six entry points of libmpusbapi.so for real testers over libusb, and
// the reason of the last failed open.
#include "mpusbapi.h"
#include "usb_access.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace {

ksx4::usb::UsbAccess& access() {
    // Never destroyed: open devices must not be torn down while the process
    // ends with other libraries still using them.
    static auto* instance = new ksx4::usb::UsbAccess;
    return *instance;
}

// errno is set last, after every lock and destructor has run.
uint32_t finish(ksx4::usb::Outcome outcome) {
    if (outcome.result == 0) errno = outcome.error;
    return outcome.result;
}

}  // namespace

extern "C" {

uint32_t _MPUSBGetDeviceCount(const char* selection) {
    return access().deviceCount(selection);
}

void* _MPUSBOpen(uint32_t instance, const char* selection, const char* endpoint, uint32_t direction,
                 uint32_t /*reserved*/) {
    return access().open(instance, selection, endpoint, direction);
}

uint32_t _MPUSBWrite(void* handle, const void* data, uint32_t length, uint32_t* sent,
                     uint32_t timeoutMs) {
    return finish(access().write(handle, data, length, sent, timeoutMs));
}

uint32_t _MPUSBRead(void* handle, void* data, uint32_t length, uint32_t* received,
                    uint32_t timeoutMs) {
    return finish(access().read(handle, data, length, received, timeoutMs));
}

uint32_t _MPUSBReadInt(void* handle, void* data, uint32_t length, uint32_t* received,
                       uint32_t timeoutMs) {
    return finish(access().read(handle, data, length, received, timeoutMs));
}

uint32_t _MPUSBClose(void* handle) {
    return finish(access().close(handle));
}

uint32_t ksx4usb_last_open_failure(char* text, uint32_t size) {
    const std::string reason = access().lastOpenFailure();
    if (text && size > 0) {
        const size_t kept = std::min<size_t>(reason.size(), size - 1);
        std::memcpy(text, reason.data(), kept);
        text[kept] = '\0';
    }
    return static_cast<uint32_t>(reason.size());
}

}  // extern "C"
