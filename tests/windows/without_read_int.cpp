// An mpusbapi.dll that lacks "_MPUSBReadInt". The link library must refuse
// its own attach without calling anything, so every entry point here ends
// the process.
#include "mpusbapi.h"

#include <cstdlib>

extern "C" {

uint32_t _MPUSBGetDeviceCount(const char*) {
    std::abort();
}
void* _MPUSBOpen(uint32_t, const char*, const char*, uint32_t, uint32_t) {
    std::abort();
}
uint32_t _MPUSBWrite(void*, const void*, uint32_t, uint32_t*, uint32_t) {
    std::abort();
}
uint32_t _MPUSBRead(void*, void*, uint32_t, uint32_t*, uint32_t) {
    std::abort();
}
uint32_t _MPUSBClose(void*) {
    std::abort();
}

}  // extern "C"
