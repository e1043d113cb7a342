#pragma once
// The state behind the scripted libusb: the one bus of the process with its
// device records, and every libusb object handed out. Objects are kept until
// the process ends, so that a call on a device whose last reference was
// dropped, or on a closed handle, is caught (the process aborts with the
// name of the call) instead of reading freed memory.
//
// Every entry point locks the bus. Hotplug callbacks run with it unlocked:
// they call back into libusb (libusb_ref_device, for one).
#include "scripted_libusb.h"
#include "usb_tester.h"

#include <libusb.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace ksx4::test::scripted_libusb {

struct FaultPlan {
    Fault fault = Fault::Timeout;
    int skip = 0;
    int times = 0;
};

// What a DeviceId stands for: one physical device, across the restarts of a
// tester (each restart makes a new device object at a new address).
struct DeviceRecord {
    DeviceId id = 0;
    DeviceSpec spec;                 // spec.address: the address it has now
    libusb_device* onBus = nullptr;  // its device object while it is on the bus
    bool kernelDriverBound = false;
    UsbTester tester;  // the memories behind the endpoints, and a waiting reply
    FaultPlan inFaults;
    FaultPlan outFaults;
    int openRefusal = 0;       // errno of the node's open
    int claimRefusal = 0;      // errno of the claim
    std::optional<Held> hold;  // the next call of this kind waits

    const Endpoint* endpoint(uint8_t address) const { return spec.endpoint(address); }
};

struct HotplugCallback {
    libusb_hotplug_callback_handle handle = 0;
    int events = 0;
    int vendor = LIBUSB_HOTPLUG_MATCH_ANY;
    int product = LIBUSB_HOTPLUG_MATCH_ANY;
    int deviceClass = LIBUSB_HOTPLUG_MATCH_ANY;
    libusb_hotplug_callback_fn function = nullptr;
    void* userData = nullptr;
};

struct HotplugEvent {
    libusb_device* device = nullptr;  // referenced until delivered
    libusb_hotplug_event event = LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED;
};

// One entry of the active configuration, built by
// libusb_get_active_config_descriptor and freed with it.
struct ConfigBlock {
    libusb_config_descriptor config{};
    libusb_interface interface {};
    libusb_interface_descriptor altsetting{};
    std::vector<libusb_endpoint_descriptor> endpoints;
};

}  // namespace ksx4::test::scripted_libusb

// libusb declares these three opaque; their insides are ours.
struct libusb_context {
    bool alive = true;
    int users = 1;  // libusb_init(NULL) calls on the default context
    std::vector<ksx4::test::scripted_libusb::HotplugCallback> callbacks;
    std::deque<ksx4::test::scripted_libusb::HotplugEvent> events;
    libusb_hotplug_callback_handle lastHandle = 0;
};

struct libusb_device {
    std::shared_ptr<ksx4::test::scripted_libusb::DeviceRecord> record;
    uint8_t bus = 0;
    uint8_t address = 0;
    int references = 0;
    bool onBus = true;
};

struct libusb_device_handle {
    libusb_device* device = nullptr;
    bool open = true;
    bool autoDetach = false;
    bool claimed = false;         // interface 0
    bool detachedDriver = false;  // the kernel driver was detached by the claim
};

namespace ksx4::test::scripted_libusb {

class Bus {
  public:
    std::mutex mutex;
    bool hotplug = true;
    Counters counters;
    std::vector<TransferRecord> transfers;

    // Checked access to what a caller passed: aborts on a pointer that is
    // not ours or no longer valid.
    libusb_device& device(libusb_device* device, const char* call);
    libusb_device_handle& handle(libusb_device_handle* handle, const char* call);
    libusb_context& context(libusb_context* context, const char* call);
    DeviceRecord& record(DeviceId id);  // throws std::invalid_argument

    libusb_context* newContext();
    libusb_context* defaultContext();
    std::vector<libusb_context*> liveContexts() const;

    // The device object arrives on the bus at the address, with an arrival
    // event; it leaves with a removal event.
    void arrive(const std::shared_ptr<DeviceRecord>& record, uint8_t address);
    void leave(DeviceRecord& record);
    // A tester that sent its reset reply starts again and comes back at the
    // next free address of its bus.
    void restart(const std::shared_ptr<DeviceRecord>& record);

    DeviceId add(const DeviceSpec& spec);  // throws on an address in use
    void forgetRecords();
    const std::vector<libusb_device*>& present() const { return present_; }
    bool addressInUse(uint8_t bus, uint8_t address) const;
    int liveDevices() const;

    libusb_device* ref(libusb_device* device);
    void unref(libusb_device* device);

    libusb_config_descriptor* newConfig(const DeviceSpec& spec);
    void freeConfig(libusb_config_descriptor* config);

    // Where record's next call of this kind is to be held, waits (lock:
    // the bus's, unlocked meanwhile) until the test lets it go.
    void waitIfHeld(std::unique_lock<std::mutex>& lock, DeviceRecord& record, Held call);
    // The test's side of it.
    void waitForHeldCall(std::unique_lock<std::mutex>& lock);
    void letHeldCallGo(std::unique_lock<std::mutex>& lock);

    // An open handle of another caller that has interface 0 of the record claimed.
    bool claimedElsewhere(const DeviceRecord& record, const libusb_device_handle& by) const;
    libusb_device_handle* newHandle(libusb_device* device);

  private:
    uint8_t nextFreeAddress(uint8_t bus) const;
    // Held calls, counted: those that began to wait, were let go, and left
    // their wait.
    std::condition_variable heldChanged_;
    int heldCalls_ = 0;
    int letGo_ = 0;
    int leftTheirWait_ = 0;
    void queue(libusb_device* device, libusb_hotplug_event event);

    DeviceId lastId_ = 0;
    std::map<DeviceId, std::shared_ptr<DeviceRecord>> records_;
    std::vector<libusb_device*> present_;  // in the order they arrived
    std::map<uint8_t, uint8_t> lastAddress_;
    std::unordered_map<libusb_device*, std::unique_ptr<libusb_device>> devices_;
    std::unordered_map<libusb_device_handle*, std::unique_ptr<libusb_device_handle>> handles_;
    std::unordered_map<libusb_context*, std::unique_ptr<libusb_context>> contexts_;
    libusb_context* defaultContext_ = nullptr;
    std::unordered_map<libusb_config_descriptor*, std::unique_ptr<ConfigBlock>> configs_;
};

// The process's bus.
Bus& bus();

// Delivers the hotplug events waiting in every context (takes the bus's
// lock; call it unlocked). A synchronous transfer does this while it waits,
// as libusb's does: its event handling is libusb_handle_events'. (Here the
// contexts share the bus's devices, so a transfer handles every context's
// events, where libusb handles those of the handle's context.)
void deliverPendingEvents();

// A call no real libusb would survive: the message goes to stderr and the
// process aborts, which fails the test that made it.
[[noreturn]] void misuse(const char* call, const char* what);

// For the time of a call that handles libusb's events: a misuse when another
// thread is inside such a call (its own calls may nest).
class HandlingEvents {
  public:
    explicit HandlingEvents(const char* call);
    ~HandlingEvents();
    HandlingEvents(const HandlingEvents&) = delete;
    HandlingEvents& operator=(const HandlingEvents&) = delete;
};

}  // namespace ksx4::test::scripted_libusb
