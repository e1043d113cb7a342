#pragma once
// The tests' own libusb-1.0.so.0. It offers the libusb functions the libusb
// access library calls, with libusb's documented results, over scripted
// devices instead of a USB bus. A tester among the devices answers the
// command protocol from its memory images (the simulator's protocol code);
// faults are scripted per transfer. The access library binds to this library
// when its folder comes first on LD_LIBRARY_PATH; tests link it as well and
// drive it through the functions below (one bus per process). An unknown
// DeviceId, or a spec whose address is taken, throws std::invalid_argument.
//
// It handles libusb's events (in libusb_handle_events* and in the
// synchronous transfers, which handle them while they wait) on one thread at
// a time, as the libusb of Debian 12 (1.0.26) needs its callers to: there,
// two threads handling events at once can read freed memory. A second thread
// entering one of these calls while another is inside one aborts the
// process, as other misuse does.
#include "device_spec.h"

#include <libusb.h>

#include <cstdint>
#include <vector>

namespace ksx4::test::scripted_libusb {

// The devices it offers, shared with the tests' other buses.
using ksx4::test::DeviceSpec;
using ksx4::test::Endpoint;
using ksx4::test::testerDevice;

using DeviceId = int;

enum class Fault {
    Timeout,      // LIBUSB_ERROR_TIMEOUT, nothing transferred
    DeviceGone,   // LIBUSB_ERROR_NO_DEVICE; the device leaves the bus
    IoError,      // LIBUSB_ERROR_IO
    PaddedReply,  // an IN transfer: the reply padded with zeros to a whole packet
};

enum class Step { Open, Claim };

struct Counters {
    int deviceLists = 0;  // libusb_get_device_list calls
    int opens = 0;        // successful libusb_open calls
    int closes = 0;
    int openHandles = 0;  // opened and not yet closed
    int claims = 0;       // successful libusb_claim_interface calls
    int releases = 0;
    int transfers = 0;    // bulk and interrupt transfers, failed ones included
    int liveDevices = 0;  // device objects still referenced, present ones included
};

struct TransferRecord {
    DeviceId device = 0;
    uint8_t endpoint = 0;
    bool interrupt = false;  // libusb_interrupt_transfer, not libusb_bulk_transfer
    int length = 0;          // the buffer length the caller passed
    int result = 0;          // what the call returned
    int transferred = 0;
    unsigned timeout = 0;  // milliseconds, as passed (0: libusb would wait forever)
};

// Empties the bus (every present device leaves with a removal event) and
// forgets faults, refusals, counters and records. hotplug: whether
// libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) says yes; a libusb without it
// refuses hotplug callbacks with LIBUSB_ERROR_NOT_SUPPORTED.
void reset(bool hotplug = true);

// The device arrives on the bus (an arrival event for hotplug callbacks,
// delivered by the next libusb_handle_events* call or synchronous transfer,
// on the thread that makes it).
DeviceId plugIn(const DeviceSpec& spec);

// The device leaves the bus (a removal event); its open handles fail every
// later transfer with LIBUSB_ERROR_NO_DEVICE. Plugging it in again is a new
// plugIn, as with a real device.
void unplug(DeviceId device);

// The next `times` transfers on the device's IN (in = true) or OUT endpoints
// fail with fault, after `skip` transfers that go through. It replaces the
// direction's earlier plan; PaddedReply does nothing on OUT endpoints.
void failTransfers(DeviceId device, bool in, Fault fault, int times = 1, int skip = 0);

// From now on the system refuses to open the device's node (Step::Open) or
// to claim its interface (Step::Claim) with the errno; 0 lifts the refusal.
// libusb_open or libusb_claim_interface then fail as libusb's Linux backend
// reports that errno: an open only with LIBUSB_ERROR_ACCESS (EACCES),
// _NO_DEVICE (ENOENT) or _IO, a claim only with LIBUSB_ERROR_BUSY (EBUSY),
// _NO_DEVICE (ENODEV), _INVALID_PARAM (EINVAL, with auto-detach),
// _NOT_FOUND (ENOENT, without) or _OTHER; never a claim with _ACCESS.
void refuse(DeviceId device, Step step, int error);

// Calls that can be held inside libusb, as a transfer waits for a slow
// device, so that a test sees what other threads do meanwhile.
enum class Held { OutTransfer, InTransfer, Release };

// The next such call on the device (a transfer on its OUT or IN endpoints,
// or libusb_release_interface) waits inside libusb, with the bus unlocked,
// until letHeldCallGo(). One call is held at a time.
void holdNextCall(DeviceId device, Held call);
// Returns once the call waits.
void waitForHeldCall();
// Lets the held call go on, and returns once it has left its wait.
void letHeldCallGo();

// The tester's memories as they are now (writes from the host included);
// valid until the next reset().
sim::TesterImage& tester(DeviceId device);

bool kernelDriverBound(DeviceId device);
bool present(DeviceId device);
// The device's address on its bus (a restarted tester comes back at another).
uint8_t address(DeviceId device);

Counters counters();
std::vector<TransferRecord> transfers();

}  // namespace ksx4::test::scripted_libusb
