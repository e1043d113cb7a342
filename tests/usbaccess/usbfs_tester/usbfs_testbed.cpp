#include "usbfs_testbed.h"

#include <umockdev.h>

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <stdexcept>

namespace ksx4::test::usbfs {
namespace {

// What a current kernel's usbfs offers.
constexpr uint32_t kCapabilities =
    USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
    USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

std::string threeDigits(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%03u", value);
    return text;
}

void appendHex(std::string& out, std::initializer_list<unsigned> bytes) {
    for (unsigned b : bytes) {
        char text[4];
        std::snprintf(text, sizeof text, "%02x", b & 0xFFu);
        out += text;
    }
}

// The binary "descriptors" attribute: the device descriptor, then the
// configuration with interface 0 (vendor class) and its endpoints.
std::string descriptorsHex(const DeviceSpec& spec) {
    std::string hex;
    const unsigned vendor = spec.vendor;
    const unsigned product = spec.product;
    appendHex(hex, {18, 1, 0x00, 0x02, spec.deviceClass, 0, 0, 8, vendor & 0xFFu, vendor >> 8u,
                    product & 0xFFu, product >> 8u, 0x00, 0x01, 0, 0, 0, 1});
    const unsigned total = 9 + 9 + 7 * static_cast<unsigned>(spec.endpoints.size());
    appendHex(hex, {9, 2, total & 0xFFu, total >> 8u, 1, 1, 0, 0x80, 50});
    appendHex(hex, {9, 4, 0, 0, static_cast<unsigned>(spec.endpoints.size()), 0xFF, 0, 0, 0});
    for (const Endpoint& e : spec.endpoints)
        appendHex(hex, {7, 5, e.address, e.type, e.maxPacketSize & 0xFFu,
                        static_cast<unsigned>(e.maxPacketSize) >> 8u,
                        e.type == kInterruptEndpoint ? 1u : 0u});
    return hex;
}

}  // namespace

struct Device {
    DeviceId id = 0;
    DeviceSpec spec;
    UsbTester tester;
    std::string syspath;  // "/sys/devices/usb1/1-2"
    std::string node;     // "/dev/bus/usb/001/002"
    UMockdevIoctlBase* handler = nullptr;
    bool present = true;
    bool claimed = false;
    bool driverBound = false;  // a kernel driver holds interface 0
    int claimRefusal = 0;
    int urbsBeforeVanishing = -1;  // -1: never
    bool vanishInFlight = false;
    bool restarting = false;  // the reset reply waits to be reaped
    bool vanished = false;
    std::deque<UMockdevIoctlData*> flying;  // submitted, not yet done (referenced)
    std::deque<UMockdevIoctlData*> done;    // waiting to be reaped (referenced)
};

struct Testbed::State {
    std::mutex mutex;
    UMockdevTestbed* bed = nullptr;
    DeviceId lastId = 0;
    std::map<DeviceId, std::unique_ptr<Device>> devices;
    Counters counters;
    std::vector<std::string> unknown;

    Device& device(DeviceId id) {
        const auto found = devices.find(id);
        if (found == devices.end())
            throw std::invalid_argument("usbfs test bed: no device " + std::to_string(id));
        return *found->second;
    }
};

namespace {

struct HandlerContext {
    Testbed::State* state;
    Device* device;
};

void complete(UMockdevIoctlClient* client, long result, int error) {
    umockdev_ioctl_client_complete(client, result, error);
}

// The argument resolved as a T, or nullptr.
template <typename T>
UMockdevIoctlData* resolveArg(UMockdevIoctlClient* client) {
    return umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(T),
                                       nullptr);
}

usbdevfs_urb& urbOf(UMockdevIoctlData* data) {
    return *reinterpret_cast<usbdevfs_urb*>(data->data);
}

// The transfer reaches the tester; the URB is done at once, or (an IN
// transfer that finds no reply) stays in flight until it is discarded.
void submit(Testbed::State& state, Device& device, UMockdevIoctlClient* client) {
    UMockdevIoctlData* urbData = resolveArg<usbdevfs_urb>(client);
    usbdevfs_urb& urb = urbOf(urbData);
    ++state.counters.urbs;
    const auto fail = [&](int error) {
        g_object_unref(urbData);
        complete(client, -1, error);
    };
    const bool vanishing = device.urbsBeforeVanishing == 0;
    if (device.urbsBeforeVanishing >= 0) --device.urbsBeforeVanishing;
    if (vanishing && device.vanishInFlight) {
        device.vanished = true;
        urb.status = -ESHUTDOWN;
        urb.actual_length = 0;
        device.done.push_back(urbData);
        return complete(client, 0, 0);
    }
    if (vanishing) device.vanished = true;
    if (device.vanished) return fail(ENODEV);
    const Endpoint* endpoint = device.spec.endpoint(urb.endpoint);
    if (!endpoint) return fail(ENOENT);
    // As usbfs: a bulk URB on an interrupt endpoint is sent as an interrupt
    // transfer; an interrupt URB needs an interrupt endpoint.
    if (urb.type != USBDEVFS_URB_TYPE_BULK &&
        !(urb.type == USBDEVFS_URB_TYPE_INTERRUPT && endpoint->type == kInterruptEndpoint))
        return fail(EINVAL);
    if (urb.buffer_length < 0) return fail(EINVAL);
    if (!device.claimed) {
        // usbfs claims the interface for a process that did not.
        ++state.counters.claimedOnTheFly;
        device.claimed = true;
    }
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
        urbData, offsetof(usbdevfs_urb, buffer), static_cast<size_t>(urb.buffer_length), nullptr);
    const auto length = static_cast<size_t>(urb.buffer_length);
    urb.status = 0;
    urb.actual_length = 0;
    if ((urb.endpoint & 0x80) == 0) {
        device.tester.commandOut(std::span<const uint8_t>(buffer->data, length));
        urb.actual_length = urb.buffer_length;
        device.done.push_back(urbData);
    } else if (auto reply = device.tester.replyIn(false, endpoint->maxPacketSize)) {
        const size_t kept = std::min(reply->bytes.size(), length);
        if (kept > 0) std::memcpy(buffer->data, reply->bytes.data(), kept);
        urb.actual_length = static_cast<int>(kept);
        if (reply->bytes.size() > length) urb.status = -EOVERFLOW;
        if (reply->restart) {
            device.tester.start();
            device.restarting = true;
        }
        device.done.push_back(urbData);
    } else {
        device.flying.push_back(urbData);
    }
    g_object_unref(buffer);
    complete(client, 0, 0);
}

void reap(Device& device, UMockdevIoctlClient* client) {
    if (device.done.empty()) return complete(client, -1, device.vanished ? ENODEV : EAGAIN);
    UMockdevIoctlData* urbData = device.done.front();
    device.done.pop_front();
    UMockdevIoctlData* pointer = resolveArg<void*>(client);
    umockdev_ioctl_data_set_ptr(pointer, 0, urbData);
    g_object_unref(pointer);
    g_object_unref(urbData);
    // The tester restarts once its reset reply has left: its node is gone
    // (it comes back with a new address, see plugIn).
    if (device.restarting && device.done.empty()) device.vanished = true;
    complete(client, 0, 0);
}

void discard(Testbed::State& state, Device& device, UMockdevIoctlClient* client) {
    // The argument is the URB's address in the client.
    const auto address = *reinterpret_cast<gulong*>(umockdev_ioctl_client_get_arg(client)->data);
    const auto found =
        std::find_if(device.flying.begin(), device.flying.end(),
                     [&](UMockdevIoctlData* d) { return d->client_addr == address; });
    if (found == device.flying.end()) return complete(client, -1, EINVAL);
    urbOf(*found).status = -ENOENT;
    device.done.push_back(*found);
    device.flying.erase(found);
    ++state.counters.discards;
    complete(client, 0, 0);
}

// A plain claim fails while a kernel driver holds the interface; the
// disconnect-and-claim request detaches it first.
void claim(Testbed::State& state, Device& device, UMockdevIoctlClient* client,
           unsigned interfaceNumber, bool detachingDriver) {
    if (interfaceNumber != 0) return complete(client, -1, ENOENT);
    if (device.claimRefusal != 0) return complete(client, -1, device.claimRefusal);
    if (device.driverBound && !detachingDriver) return complete(client, -1, EBUSY);
    device.driverBound = false;
    device.claimed = true;
    ++state.counters.claims;
    complete(client, 0, 0);
}

// USBDEVFS_CONNECT binds the device's kernel driver to an unclaimed
// interface again, USBDEVFS_DISCONNECT detaches it.
void driverRequest(Device& device, UMockdevIoctlClient* client) {
    UMockdevIoctlData* arg = resolveArg<usbdevfs_ioctl>(client);
    const auto& request = *reinterpret_cast<usbdevfs_ioctl*>(arg->data);
    const int code = request.ioctl_code;
    const int interfaceNumber = request.ifno;
    g_object_unref(arg);
    if (interfaceNumber != 0) return complete(client, -1, EINVAL);
    if (code == static_cast<int>(USBDEVFS_DISCONNECT)) {
        if (!device.driverBound) return complete(client, -1, ENODATA);
        device.driverBound = false;
    } else if (code == static_cast<int>(USBDEVFS_CONNECT)) {
        if (device.claimed) return complete(client, -1, EBUSY);
        device.driverBound = device.spec.kernelDriverBound;
    } else {
        return complete(client, -1, ENOTTY);
    }
    complete(client, 0, 0);
}

gboolean handleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer contextPointer) {
    auto& context = *static_cast<HandlerContext*>(contextPointer);
    Testbed::State& state = *context.state;
    std::lock_guard lock(state.mutex);
    Device& device = *context.device;
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    const bool reaping = request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY;
    if (device.vanished && !reaping) {
        complete(client, -1, ENODEV);
        return TRUE;
    }
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* caps = resolveArg<uint32_t>(client);
            std::memcpy(caps->data, &kCapabilities, sizeof kCapabilities);
            g_object_unref(caps);
            complete(client, 0, 0);
            break;
        }
        case USBDEVFS_DISCONNECT_CLAIM: {
            UMockdevIoctlData* arg = resolveArg<usbdevfs_disconnect_claim>(client);
            const unsigned interfaceNumber =
                reinterpret_cast<usbdevfs_disconnect_claim*>(arg->data)->interface;
            g_object_unref(arg);
            claim(state, device, client, interfaceNumber, true);
            break;
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE: {
            UMockdevIoctlData* arg = resolveArg<unsigned>(client);
            unsigned interfaceNumber = 0;
            std::memcpy(&interfaceNumber, arg->data, sizeof interfaceNumber);
            g_object_unref(arg);
            if (request == USBDEVFS_CLAIMINTERFACE) {
                claim(state, device, client, interfaceNumber, false);
            } else if (interfaceNumber != 0 || !device.claimed) {
                complete(client, -1, EINVAL);
            } else {
                device.claimed = false;
                ++state.counters.releases;
                complete(client, 0, 0);
            }
            break;
        }
        case USBDEVFS_GETDRIVER: {
            UMockdevIoctlData* arg = resolveArg<usbdevfs_getdriver>(client);
            auto& driver = *reinterpret_cast<usbdevfs_getdriver*>(arg->data);
            const bool bound = driver.interface == 0 && device.driverBound;
            if (bound) std::snprintf(driver.driver, sizeof driver.driver, "usbhid");
            g_object_unref(arg);
            complete(client, bound ? 0 : -1, bound ? 0 : ENODATA);
            break;
        }
        case USBDEVFS_IOCTL:
            driverRequest(device, client);
            break;
        case USBDEVFS_SETCONFIGURATION:
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP:
        case USBDEVFS_RESET:
            complete(client, 0, 0);
            break;
        case USBDEVFS_SUBMITURB:
            submit(state, device, client);
            break;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            reap(device, client);
            break;
        case USBDEVFS_DISCARDURB:
            discard(state, device, client);
            break;
        default: {
            char text[24];
            std::snprintf(text, sizeof text, "0x%08lx", request);
            state.unknown.emplace_back(text);
            complete(client, -1, ENOTTY);
        }
    }
    return TRUE;
}

void clientConnected(UMockdevIoctlBase*, UMockdevIoctlClient*, gpointer contextPointer) {
    auto& context = *static_cast<HandlerContext*>(contextPointer);
    std::lock_guard lock(context.state->mutex);
    ++context.state->counters.opens;
}

void connect(UMockdevIoctlBase* handler, const char* signal, GCallback callback,
             HandlerContext* context) {
    g_signal_connect_data(
        handler, signal, callback, context,
        [](gpointer data, GClosure*) { delete static_cast<HandlerContext*>(data); },
        static_cast<GConnectFlags>(0));
}

}  // namespace

Testbed::Testbed() : state_(std::make_unique<State>()) {
    state_->bed = umockdev_testbed_new();
}

Testbed::~Testbed() {
    for (auto& [id, device] : state_->devices) {
        for (UMockdevIoctlData* d : device->flying) g_object_unref(d);
        for (UMockdevIoctlData* d : device->done) g_object_unref(d);
    }
    g_object_unref(state_->bed);
    for (auto& [id, device] : state_->devices) g_object_unref(device->handler);
}

bool Testbed::preloaded() {
    return umockdev_in_mock_environment();
}

DeviceId Testbed::plugIn(const DeviceSpec& spec) {
    std::unique_lock lock(state_->mutex);
    for (const auto& [id, other] : state_->devices)
        if (other->present && other->spec.bus == spec.bus && other->spec.address == spec.address)
            throw std::invalid_argument("usbfs test bed: address in use");
    auto device = std::make_unique<Device>();
    device->id = ++state_->lastId;
    device->spec = spec;
    device->tester = UsbTester(spec.tester);
    device->tester.start();
    device->spec.tester.reset();
    device->driverBound = spec.kernelDriverBound;
    const std::string bus = std::to_string(spec.bus);
    const std::string name = bus + "-" + std::to_string(device->id);
    const std::string busDir = threeDigits(spec.bus) + "/" + threeDigits(spec.address);
    device->syspath = "/sys/devices/usb" + bus + "/" + name;
    device->node = "/dev/bus/usb/" + busDir;

    // The handler first, so that the node answers once udev tells of it.
    device->handler = umockdev_ioctl_base_new();
    Device* pointer = device.get();
    connect(device->handler, "handle-ioctl", reinterpret_cast<GCallback>(&handleIoctl),
            new HandlerContext{state_.get(), pointer});
    connect(device->handler, "client-connected", reinterpret_cast<GCallback>(&clientConnected),
            new HandlerContext{state_.get(), pointer});
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(state_->bed, device->node.c_str(), device->handler,
                                       &error)) {
        const std::string message = error ? error->message : "?";
        g_clear_error(&error);
        throw std::runtime_error("usbfs test bed: attach_ioctl: " + message);
    }
    const std::string address = std::to_string(spec.address);
    const std::string description =
        "P: /devices/usb" + bus + "/" + name + "\nN: bus/usb/" + busDir +
        "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n" +
        "E: DRIVER=usb\nE: DEVNAME=" + device->node + "\nE: BUSNUM=" + threeDigits(spec.bus) +
        "\nE: DEVNUM=" + threeDigits(spec.address) + "\nA: busnum=" + bus +
        "\\n\nA: devnum=" + address + "\\n\nA: bConfigurationValue=1\\n\nA: speed=12\\n\n" +
        "H: descriptors=" + descriptorsHex(spec) + "\n";
    const DeviceId id = device->id;
    state_->devices[id] = std::move(device);
    lock.unlock();  // the handler may run as soon as udev tells of the device
    if (!umockdev_testbed_add_from_string(state_->bed, description.c_str(), &error)) {
        const std::string message = error ? error->message : "?";
        g_clear_error(&error);
        throw std::runtime_error("usbfs test bed: add_from_string: " + message);
    }
    return id;
}

void Testbed::unplug(DeviceId id) {
    std::string syspath;
    {
        std::lock_guard lock(state_->mutex);
        Device& device = state_->device(id);
        if (!device.present) return;
        device.present = false;
        device.vanished = true;
        syspath = device.syspath;
    }
    umockdev_testbed_uevent(state_->bed, syspath.c_str(), "remove");
    umockdev_testbed_remove_device(state_->bed, syspath.c_str());
}

void Testbed::vanishAfter(DeviceId id, int urbs, bool inFlight) {
    std::lock_guard lock(state_->mutex);
    state_->device(id).urbsBeforeVanishing = urbs;
    state_->device(id).vanishInFlight = inFlight;
}

void Testbed::refuseClaim(DeviceId id, int error) {
    std::lock_guard lock(state_->mutex);
    state_->device(id).claimRefusal = error;
}

sim::TesterImage Testbed::tester(DeviceId id) {
    std::lock_guard lock(state_->mutex);
    Device& device = state_->device(id);
    if (!device.tester.answers()) throw std::invalid_argument("usbfs test bed: not a tester");
    return device.tester.image();
}

std::string Testbed::nodeFile(DeviceId id) {
    std::lock_guard lock(state_->mutex);
    return rootDir() + state_->device(id).node;
}

bool Testbed::kernelDriverBound(DeviceId id) {
    std::lock_guard lock(state_->mutex);
    return state_->device(id).driverBound;
}

std::string Testbed::rootDir() {
    gchar* root = umockdev_testbed_get_root_dir(state_->bed);
    std::string dir = root;
    g_free(root);
    return dir;
}

Counters Testbed::counters() {
    std::lock_guard lock(state_->mutex);
    return state_->counters;
}

std::vector<std::string> Testbed::unknownRequests() {
    std::lock_guard lock(state_->mutex);
    return state_->unknown;
}

}  // namespace ksx4::test::usbfs
