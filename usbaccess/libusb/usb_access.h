#pragma once
// Real testers over libusb-1.0: device counts kept current by a hotplug
// callback (or a short-lived cached enumeration where hotplug is missing),
// pipe handles that share one claimed interface per device, and timed
// bulk or interrupt transfers.
#include "selection.h"

#include <libusb.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace ksx4::usb {

// The outcome of an entry point: its result and the errno it leaves.
struct Outcome {
    uint32_t result = 0;
    int error = 0;
};

// errno for a failed transfer: 6 when the device is gone, ETIMEDOUT, or EIO.
int errnoForTransferError(int libusbError);

// Nanoseconds on a clock that never goes back. The enumeration cache and the
// retry of a failed libusb_init are timed by it; tests pass their own.
using MonotonicClock = int64_t (*)();
int64_t monotonicNs();

class UsbAccess {
  public:
    explicit UsbAccess(MonotonicClock clock = monotonicNs);
    ~UsbAccess();
    UsbAccess(const UsbAccess&) = delete;
    UsbAccess& operator=(const UsbAccess&) = delete;

    uint32_t deviceCount(const char* selection);
    void* open(uint32_t instance, const char* selection, const char* endpoint, uint32_t direction);
    Outcome write(void* handle, const void* data, uint32_t length, uint32_t* sent,
                  uint32_t timeoutMs);
    Outcome read(void* handle, void* data, uint32_t length, uint32_t* received, uint32_t timeoutMs);
    Outcome close(void* handle);
    // Why the last open failed, in the system's words ("" when none failed):
    // the device, the step, and libusb's error name and text, followed for
    // a refused open or claim by what that means for the tester.
    std::string lastOpenFailure();

  private:
    struct Watch;
    struct Device;
    struct Pipe;
    class DeviceHold;

    libusb_context* context();
    Watch& watchFor(const DeviceSelection& selection);
    uint32_t enumerateCount(const DeviceSelection& selection);
    std::shared_ptr<Device> deviceFor(libusb_device* device);
    Pipe* find(void* handle);
    Outcome transfer(void* handle, bool in, void* data, uint32_t length, uint32_t* count,
                     uint32_t timeoutMs);
    Outcome exchange(libusb_device_handle* device, const Pipe& pipe, bool in, void* data,
                     uint32_t length, uint32_t* count, uint32_t timeoutMs);
    static int onHotplug(libusb_context*, libusb_device* device, libusb_hotplug_event event,
                         void* watch);

    const MonotonicClock clock_;
    // The library's state: watches, devices and pipes. A device's interface
    // is claimed, released and its handle closed only with it held, so that
    // an open on one thread never meets the claim of a device another thread
    // is letting go (libusb would refuse the claim as LIBUSB_ERROR_BUSY).
    std::mutex mutex_;
    // Held around every libusb call of ours that handles libusb's events:
    // the synchronous transfers and the device count's event handling. The
    // libusb of Debian 12 (1.0.26) can read freed memory when two threads
    // handle events at once: the thread that completes another thread's
    // synchronous transfer still logs through that transfer after marking
    // it done, and the other thread may have freed it by then (mended in
    // 1.0.27). So transfers on two threads take turns. Never waited for
    // with mutex_ held: the count only tries it.
    std::mutex eventsMutex_;
    libusb_context* context_ = nullptr;  // kept for the life of the process
    int64_t lastInitAttemptNs_ = 0;
    int initError_ = 0;  // of the last libusb_init attempt
    std::string lastOpenFailure_;
    std::vector<std::unique_ptr<Watch>> watches_;
    std::map<std::pair<uint8_t, uint8_t>, std::weak_ptr<Device>> devices_;
    std::unordered_set<Pipe*> pipes_;
};

}  // namespace ksx4::usb
