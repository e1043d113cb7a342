#pragma once
// Testers on an emulated Linux usbfs: a umockdev test bed with each device
// in sysfs (its attributes and binary descriptors) and udev, and its node
// under /dev/bus/usb answered by an ioctl handler that serves the usbfs
// requests the real libusb-1.0 sends. Transfers reach a UsbTester, the
// simulator's protocol code behind the endpoints.
//
// The process must run with umockdev's preload library (umockdev-wrapper or
// LD_PRELOAD=libumockdev-preload.so.0), and the test bed must exist before
// libusb starts. The handler runs on umockdev's worker thread; every method
// here may be called from the test's thread meanwhile.
#include "device_spec.h"
#include "usb_tester.h"

#include <memory>
#include <string>
#include <vector>

namespace ksx4::test::usbfs {

using DeviceId = int;

struct Counters {
    int opens = 0;            // device nodes opened
    int claims = 0;           // interface claims that went through
    int releases = 0;         // interface releases
    int urbs = 0;             // URBs submitted (failed submissions included)
    int discards = 0;         // URBs discarded (a timed-out transfer)
    int claimedOnTheFly = 0;  // URBs on an interface nobody claimed
};

class Testbed {
  public:
    Testbed();
    ~Testbed();
    Testbed(const Testbed&) = delete;
    Testbed& operator=(const Testbed&) = delete;

    // Whether umockdev's preload library is in the process (asked with a
    // test bed in place).
    static bool preloaded();

    // The device appears in sysfs and udev with an "add" event; a tester
    // starts. Throws std::invalid_argument on an address in use. A tester
    // that sent its reset reply restarts and its node goes away; it comes
    // back as a new device (unplug, then plugIn with the tester's image).
    DeviceId plugIn(const DeviceSpec& spec);
    // A "remove" event, and the device leaves sysfs; ioctls on its open
    // node fail with ENODEV from now on.
    void unplug(DeviceId device);
    // After `urbs` more submitted URBs the device is gone: every request
    // on its node fails with ENODEV (its udev removal is unplug). The next
    // URB is refused at its submission, or (inFlight) taken and then ended
    // with -ESHUTDOWN, as the host controller ends the URBs of a device
    // that went while they waited.
    void vanishAfter(DeviceId device, int urbs, bool inFlight = false);
    // The interface claim fails with the errno from now on; 0 lifts it.
    void refuseClaim(DeviceId device, int error);

    // The tester's memories as they are now (a copy).
    sim::TesterImage tester(DeviceId device);
    // Whether the kernel driver of a spec with kernelDriverBound holds the
    // interface now (it is detached for a claim, bound again after).
    bool kernelDriverBound(DeviceId device);
    // The file behind the device's node, as the test bed holds it.
    std::string nodeFile(DeviceId device);
    Counters counters();
    // The test bed's folder (removed with it): room for a test's files.
    std::string rootDir();
    // Requests the handler did not know, as "0x%08lx" (answered ENOTTY).
    std::vector<std::string> unknownRequests();

    struct State;  // shared with the ioctl handler

  private:
    std::unique_ptr<State> state_;
};

}  // namespace ksx4::test::usbfs
