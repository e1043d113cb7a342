#pragma once
// The entry points of the USB access library, bound once when the link
// library is loaded. A null pointer means "not bound": no access library was
// found, it lacked one of the six names, or the library is being unloaded.
#include "mpusbapi.h"

#include <cstdint>

namespace ksx4::com {

struct UsbEntryPoints {
    MPUSBGetDeviceCountFn getDeviceCount = nullptr;
    MPUSBOpenFn open = nullptr;
    MPUSBReadFn read = nullptr;
    MPUSBWriteFn write = nullptr;
    MPUSBReadFn readInt = nullptr;  // must exist, never called
    MPUSBCloseFn close = nullptr;
};

const UsbEntryPoints& usbEntryPoints() noexcept;

// Looks the six names up in their fixed order through lookup. All found: the
// table is filled and true returned. The first missing name leaves the table
// empty and returns false; the caller then releases the library.
using SymbolLookup = void (*(*)(void* library, const char* name))();
bool bindEntryPoints(void* library, SymbolLookup lookup) noexcept;

// Forgets the open entry point (library unload): no pipe can be opened after.
void forgetOpenEntryPoint() noexcept;

// The calling thread's last-error value right after a failed write or read of
// the access library (errno on POSIX, GetLastError on Windows).
uint32_t lastUsbError() noexcept;

}  // namespace ksx4::com
