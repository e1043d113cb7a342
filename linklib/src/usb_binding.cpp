#include "usb_binding.h"

namespace ksx4::com {
namespace {

UsbEntryPoints boundEntryPoints;

template <typename Fn>
Fn as(void (*symbol)()) noexcept {
    return reinterpret_cast<Fn>(symbol);
}

}  // namespace

const UsbEntryPoints& usbEntryPoints() noexcept {
    return boundEntryPoints;
}

bool bindEntryPoints(void* library, SymbolLookup lookup) noexcept {
    static constexpr const char* names[] = {"_MPUSBGetDeviceCount", "_MPUSBOpen",    "_MPUSBRead",
                                            "_MPUSBWrite",          "_MPUSBReadInt", "_MPUSBClose"};
    void (*found[6])() = {};
    for (int i = 0; i < 6; ++i) {
        found[i] = lookup(library, names[i]);
        if (found[i] == nullptr) return false;
    }
    boundEntryPoints.getDeviceCount = as<MPUSBGetDeviceCountFn>(found[0]);
    boundEntryPoints.open = as<MPUSBOpenFn>(found[1]);
    boundEntryPoints.read = as<MPUSBReadFn>(found[2]);
    boundEntryPoints.write = as<MPUSBWriteFn>(found[3]);
    boundEntryPoints.readInt = as<MPUSBReadFn>(found[4]);
    boundEntryPoints.close = as<MPUSBCloseFn>(found[5]);
    return true;
}

void forgetOpenEntryPoint() noexcept {
    boundEntryPoints.open = nullptr;
}

}  // namespace ksx4::com
