/* The USB access library's six entry points, as the link library looks them
 * up by name ("_MPUSBGetDeviceCount", ...). Both access libraries we ship
 * (the libusb one for real testers and the tester simulator) implement them,
 * each as libmpusbapi.so. C calling convention.
 *
 * Failed writes and reads set errno; 6 (ENXIO on Linux, the same number as
 * the Windows invalid-handle error) means the handle is no longer valid. */
#ifndef KSX4_MPUSBAPI_H
#define KSX4_MPUSBAPI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MPUSB_INVALID_HANDLE ((void*)(intptr_t)-1)
#define MPUSB_DIRECTION_WRITE 0u /* host to device */
#define MPUSB_DIRECTION_READ 1u  /* device to host */
#define MPUSB_ERROR_INVALID_HANDLE 6

#if defined(__GNUC__) && !defined(_WIN32)
#define MPUSB_EXPORT __attribute__((visibility("default")))
#else
#define MPUSB_EXPORT
#endif

MPUSB_EXPORT uint32_t _MPUSBGetDeviceCount(const char* selection);
MPUSB_EXPORT void* _MPUSBOpen(uint32_t instance, const char* selection, const char* endpoint,
                              uint32_t direction, uint32_t reserved);
MPUSB_EXPORT uint32_t _MPUSBWrite(void* handle, const void* data, uint32_t length, uint32_t* sent,
                                  uint32_t timeoutMs);
MPUSB_EXPORT uint32_t _MPUSBRead(void* handle, void* data, uint32_t length, uint32_t* received,
                                 uint32_t timeoutMs);
MPUSB_EXPORT uint32_t _MPUSBReadInt(void* handle, void* data, uint32_t length, uint32_t* received,
                                    uint32_t timeoutMs);
MPUSB_EXPORT uint32_t _MPUSBClose(void* handle);

/* Our libusb access library also keeps why its last _MPUSBOpen failed, for
 * a caller that wants to tell the user (it prints nothing itself). Copies
 * the reason, NUL-terminated and cut to size - 1 bytes, into text; returns
 * the reason's full length, 0 when no open has failed. Optional: other
 * access libraries do not offer it. */
#define KSX4_USB_LAST_OPEN_FAILURE "ksx4usb_last_open_failure"
MPUSB_EXPORT uint32_t ksx4usb_last_open_failure(char* text, uint32_t size);

typedef uint32_t (*MPUSBGetDeviceCountFn)(const char*);
typedef void* (*MPUSBOpenFn)(uint32_t, const char*, const char*, uint32_t, uint32_t);
typedef uint32_t (*MPUSBWriteFn)(void*, const void*, uint32_t, uint32_t*, uint32_t);
typedef uint32_t (*MPUSBReadFn)(void*, void*, uint32_t, uint32_t*, uint32_t);
typedef uint32_t (*MPUSBCloseFn)(void*);
typedef uint32_t (*Ksx4UsbLastOpenFailureFn)(char*, uint32_t);

#ifdef __cplusplus
}
#endif

#endif /* KSX4_MPUSBAPI_H */
