#include "usb_access.h"

#include "mpusbapi.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

namespace ksx4::usb {
namespace {

constexpr int64_t kInitRetryNs = 1'000'000'000;  // without a USB bus, try again after 1 s
constexpr int64_t kCachedCountNs = 100'000'000;  // enumeration cache where hotplug is missing

bool matches(libusb_device* device, const DeviceSelection& selection) {
    libusb_device_descriptor descriptor{};
    return libusb_get_device_descriptor(device, &descriptor) == 0 &&
           descriptor.idVendor == selection.vendor && descriptor.idProduct == selection.product;
}

// The transfer type of an endpoint of interface 0: LIBUSB_TRANSFER_TYPE_BULK
// or _INTERRUPT, or -1 when the interface has no such endpoint.
int endpointType(libusb_device* device, uint8_t address) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0) return -1;
    int type = -1;
    if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
        const libusb_interface_descriptor& interface = config->interface[0].altsetting[0];
        for (int i = 0; i < interface.bNumEndpoints; ++i)
            if (interface.endpoint[i].bEndpointAddress == address)
                type = interface.endpoint[i].bmAttributes & LIBUSB_TRANSFER_TYPE_MASK;
    }
    libusb_free_config_descriptor(config);
    return type == LIBUSB_TRANSFER_TYPE_BULK || type == LIBUSB_TRANSFER_TYPE_INTERRUPT ? type : -1;
}

std::string hexByte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", value & 0xFFu);
    return text;
}

std::string selectionName(const DeviceSelection& selection) {
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", selection.vendor, selection.product);
    return text;
}

// "bus 1 device 5 (04d8:ffca)": how the system's tools name a device.
std::string deviceName(libusb_device* device) {
    libusb_device_descriptor descriptor{};
    libusb_get_device_descriptor(device, &descriptor);
    return "bus " + std::to_string(libusb_get_bus_number(device)) + " device " +
           std::to_string(libusb_get_device_address(device)) + " (" +
           selectionName({descriptor.idVendor, descriptor.idProduct}) + ")";
}

// "LIBUSB_ERROR_ACCESS (Access denied (insufficient permissions))".
std::string describeError(int libusbError) {
    return std::string(libusb_error_name(libusbError)) + " (" +
           libusb_strerror(static_cast<libusb_error>(libusbError)) + ")";
}

// What a refused open or claim means for the tester, after libusb's words,
// which say too little ("Resource busy") or mislead: an open the system
// refuses with EPERM shows as an I/O error, a configuration without
// interface 0 as an invalid parameter.
const char* meaningOfRefusal(bool claim, int libusbError) {
    switch (libusbError) {
        case LIBUSB_ERROR_ACCESS:
            return claim ? nullptr : "no permission to open the tester's device node";
        case LIBUSB_ERROR_NO_DEVICE:
            return "the tester left";
        case LIBUSB_ERROR_IO:
            return claim ? nullptr
                         : "the system refused the device node other than by its permissions "
                           "(EPERM: a sandbox, container or device policy), or the tester left";
        case LIBUSB_ERROR_BUSY:
            return claim ? "another program holds the tester" : nullptr;
        case LIBUSB_ERROR_INVALID_PARAM:
            return claim ? "the tester's active configuration has no interface 0" : nullptr;
        case LIBUSB_ERROR_OTHER:
            return claim ? "the system refused the claim (its own permission check, say)" : nullptr;
        default:
            return nullptr;
    }
}

// "libusb_claim_interface(0): LIBUSB_ERROR_BUSY (Resource busy); another
// program holds the tester".
std::string describeRefusal(bool claim, int libusbError) {
    std::string text = std::string(claim ? "libusb_claim_interface(0): " : "libusb_open: ") +
                       describeError(libusbError);
    if (const char* meaning = meaningOfRefusal(claim, libusbError))
        text += std::string("; ") + meaning;
    return text;
}

}  // namespace

int64_t monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

int errnoForTransferError(int libusbError) {
    switch (libusbError) {
        case LIBUSB_ERROR_NO_DEVICE:
            return MPUSB_ERROR_INVALID_HANDLE;
        case LIBUSB_ERROR_TIMEOUT:
            return ETIMEDOUT;
        default:
            return EIO;
    }
}

struct UsbAccess::Watch {
    DeviceSelection selection;
    bool hotplug = false;
    libusb_hotplug_callback_handle callback = 0;
    // libusb calls onHotplug from the thread that handles its events, a
    // transfer's (run without mutex_) as well as the count's, and from the
    // callback's registration: present has a lock of its own.
    std::mutex presentLock;
    std::set<libusb_device*> present;  // referenced while present
    uint32_t cachedCount = 0;
    int64_t cachedAtNs = 0;
    bool cached = false;
};

// One opened device with interface 0 claimed, shared by its pipe handles
// and by the transfers under way on them; destroyed with mutex_ held.
struct UsbAccess::Device {
    libusb_device_handle* handle = nullptr;
    ~Device() {
        libusb_release_interface(handle, 0);
        libusb_close(handle);
    }
};

struct UsbAccess::Pipe {
    std::shared_ptr<Device> device;
    uint8_t endpoint = 0;
    bool interrupt = false;
    int maxPacketSize = 64;
};

// A transfer's share of its device. A close on another thread may take
// the device's last pipe while the transfer runs: the share is then the last
// one, and it is given back under mutex_ so that the release and close it
// causes are done before another open looks for the device.
class UsbAccess::DeviceHold {
  public:
    DeviceHold(std::mutex& mutex, std::shared_ptr<Device> device)
        : mutex_(mutex), device_(std::move(device)) {}
    ~DeviceHold() {
        std::lock_guard lock(mutex_);
        device_.reset();
    }
    DeviceHold(const DeviceHold&) = delete;
    DeviceHold& operator=(const DeviceHold&) = delete;

    libusb_device_handle* handle() const { return device_->handle; }

  private:
    std::mutex& mutex_;
    std::shared_ptr<Device> device_;
};

namespace {

// Reads ask the device for whole packets: a device that pads its replies
// would otherwise overflow a buffer of exactly the expected length. The
// caller gets at most the length it asked for.
uint32_t wholePackets(uint32_t length, int maxPacketSize) {
    const auto packet = static_cast<uint32_t>(maxPacketSize);
    return std::max<uint32_t>(1, (length + packet - 1) / packet) * packet;
}

}  // namespace

UsbAccess::UsbAccess(MonotonicClock clock) : clock_(clock) {}
// The exported library never destroys its instance; a test's instance gives
// back what it holds.
UsbAccess::~UsbAccess() {
    for (Pipe* pipe : pipes_) delete pipe;
    pipes_.clear();
    for (auto& watch : watches_) {
        if (watch->hotplug) libusb_hotplug_deregister_callback(context_, watch->callback);
        for (libusb_device* device : watch->present) libusb_unref_device(device);
    }
    watches_.clear();
    if (context_) libusb_exit(context_);
}

libusb_context* UsbAccess::context() {
    if (context_) return context_;
    const int64_t now = clock_();
    if (lastInitAttemptNs_ != 0 && now - lastInitAttemptNs_ < kInitRetryNs) return nullptr;
    lastInitAttemptNs_ = now;
    initError_ = libusb_init(&context_);
    if (initError_ != 0) context_ = nullptr;
    return context_;
}

int UsbAccess::onHotplug(libusb_context*, libusb_device* device, libusb_hotplug_event event,
                         void* watchPointer) {
    auto& watch = *static_cast<Watch*>(watchPointer);
    std::lock_guard lock(watch.presentLock);
    if (event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED) {
        if (watch.present.insert(device).second) libusb_ref_device(device);
    } else if (watch.present.erase(device) > 0) {
        libusb_unref_device(device);
    }
    return 0;  // stay registered
}

UsbAccess::Watch& UsbAccess::watchFor(const DeviceSelection& selection) {
    for (auto& watch : watches_)
        if (watch->selection == selection) return *watch;
    auto watch = std::make_unique<Watch>();
    watch->selection = selection;
    if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
        // ENUMERATE reports the devices already present during registration.
        watch->hotplug = libusb_hotplug_register_callback(
                             context_,
                             static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                                               LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
                             LIBUSB_HOTPLUG_ENUMERATE, selection.vendor, selection.product,
                             LIBUSB_HOTPLUG_MATCH_ANY, &UsbAccess::onHotplug, watch.get(),
                             &watch->callback) == 0;
    }
    watches_.push_back(std::move(watch));
    return *watches_.back();
}

uint32_t UsbAccess::enumerateCount(const DeviceSelection& selection) {
    libusb_device** list = nullptr;
    const ssize_t size = libusb_get_device_list(context_, &list);
    uint32_t count = 0;
    for (ssize_t i = 0; i < size; ++i)
        if (matches(list[i], selection)) ++count;
    if (size >= 0) libusb_free_device_list(list, 1);
    return count;
}

uint32_t UsbAccess::deviceCount(const char* selectionText) {
    const auto selection = parseSelection(selectionText);
    if (!selection) return 0;
    std::lock_guard lock(mutex_);
    if (!context()) return 0;
    Watch& watch = watchFor(*selection);
    if (watch.hotplug) {
        // While a transfer on another thread handles libusb's events, its
        // wait delivers the hotplug events: the count does not wait for it.
        if (std::unique_lock events(eventsMutex_, std::try_to_lock); events.owns_lock()) {
            timeval noWait{0, 0};
            libusb_handle_events_timeout_completed(context_, &noWait, nullptr);
        }
        std::lock_guard presentLock(watch.presentLock);
        return static_cast<uint32_t>(watch.present.size());
    }
    const int64_t now = clock_();
    if (!watch.cached || now - watch.cachedAtNs > kCachedCountNs) {
        watch.cachedCount = enumerateCount(*selection);
        watch.cachedAtNs = now;
        watch.cached = true;
    }
    return watch.cachedCount;
}

std::shared_ptr<UsbAccess::Device> UsbAccess::deviceFor(libusb_device* device) {
    const auto key = std::pair{libusb_get_bus_number(device), libusb_get_device_address(device)};
    // The same bus and address may belong to a newer device than the one
    // whose pipes are still open: share only a handle of this very device.
    if (auto existing = devices_[key].lock();
        existing && libusb_get_device(existing->handle) == device)
        return existing;
    libusb_device_handle* handle = nullptr;
    if (const int error = libusb_open(device, &handle); error != 0) {
        lastOpenFailure_ = deviceName(device) + ": " + describeRefusal(false, error);
        return nullptr;
    }
    // Detaches a bound kernel driver for the claim and gives it back on release.
    libusb_set_auto_detach_kernel_driver(handle, 1);
    if (const int error = libusb_claim_interface(handle, 0); error != 0) {
        lastOpenFailure_ = deviceName(device) + ": " + describeRefusal(true, error);
        libusb_close(handle);
        return nullptr;
    }
    auto opened = std::make_shared<Device>();
    opened->handle = handle;
    devices_[key] = opened;
    return opened;
}

void* UsbAccess::open(uint32_t instance, const char* selectionText, const char* endpointText,
                      uint32_t direction) {
    std::lock_guard lock(mutex_);
    const auto selection = parseSelection(selectionText);
    const auto number = parseEndpoint(endpointText);
    const auto address = number ? endpointAddress(*number, direction) : std::nullopt;
    if (!selection || !address) {
        lastOpenFailure_ = "not a device selection and pipe the access library knows";
        return MPUSB_INVALID_HANDLE;
    }
    if (!context()) {
        lastOpenFailure_ = "libusb_init: " + describeError(initError_);
        return MPUSB_INVALID_HANDLE;
    }

    libusb_device** list = nullptr;
    const ssize_t size = libusb_get_device_list(context_, &list);
    if (size < 0) {
        lastOpenFailure_ = "libusb_get_device_list: " + describeError(static_cast<int>(size));
        return MPUSB_INVALID_HANDLE;
    }
    std::vector<libusb_device*> candidates;
    for (ssize_t i = 0; i < size; ++i)
        if (matches(list[i], *selection)) candidates.push_back(list[i]);
    // A stable order: bus, then address.
    std::sort(candidates.begin(), candidates.end(), [](libusb_device* a, libusb_device* b) {
        return std::pair{libusb_get_bus_number(a), libusb_get_device_address(a)} <
               std::pair{libusb_get_bus_number(b), libusb_get_device_address(b)};
    });
    void* result = MPUSB_INVALID_HANDLE;
    if (instance >= candidates.size()) {
        lastOpenFailure_ = "no device " + selectionName(*selection) + " at instance " +
                           std::to_string(instance) + " (" + std::to_string(candidates.size()) +
                           " attached)";
    } else {
        libusb_device* device = candidates[instance];
        const int type = endpointType(device, *address);
        if (type < 0) {
            lastOpenFailure_ = deviceName(device) +
                               ": interface 0 has no bulk or interrupt endpoint " +
                               hexByte(*address);
        } else if (auto opened = deviceFor(device)) {
            const int maxPacket = libusb_get_max_packet_size(device, *address);
            auto* pipe =
                new Pipe{std::move(opened), *address, type == LIBUSB_TRANSFER_TYPE_INTERRUPT,
                         maxPacket > 0 ? maxPacket : 64};
            pipes_.insert(pipe);
            result = pipe;
        }
    }
    libusb_free_device_list(list, 1);
    return result;
}

std::string UsbAccess::lastOpenFailure() {
    std::lock_guard lock(mutex_);
    return lastOpenFailure_;
}

UsbAccess::Pipe* UsbAccess::find(void* handle) {
    auto* candidate = static_cast<Pipe*>(handle);
    return pipes_.contains(candidate) ? candidate : nullptr;
}

Outcome UsbAccess::transfer(void* handle, bool in, void* data, uint32_t length, uint32_t* count,
                            uint32_t timeoutMs) {
    if (count) *count = 0;
    std::optional<DeviceHold> device;
    Pipe pipe;
    {
        std::lock_guard lock(mutex_);
        const Pipe* found = find(handle);
        if (!found) return {0, MPUSB_ERROR_INVALID_HANDLE};
        if (((found->endpoint & 0x80) != 0) != in || (!data && length > 0) || length > INT_MAX)
            return {0, EINVAL};
        pipe = *found;
        device.emplace(mutex_, std::move(pipe.device));
    }
    return exchange(device->handle(), pipe, in, data, length, count, timeoutMs);
}

Outcome UsbAccess::exchange(libusb_device_handle* device, const Pipe& pipe, bool in, void* data,
                            uint32_t length, uint32_t* count, uint32_t timeoutMs) {
    // libusb waits forever on 0; the caller meant "do not wait".
    const unsigned timeout = timeoutMs == 0 ? 1 : timeoutMs;
    std::vector<unsigned char> packets;
    auto* bytes = static_cast<unsigned char*>(data);
    uint32_t asked = length;
    if (in) {
        packets.resize(wholePackets(length, pipe.maxPacketSize));
        bytes = packets.data();
        asked = static_cast<uint32_t>(packets.size());
    }
    int transferred = 0;
    int rc = 0;
    {
        // A synchronous transfer handles libusb's events while it waits.
        std::lock_guard events(eventsMutex_);
        rc = pipe.interrupt
                 ? libusb_interrupt_transfer(device, pipe.endpoint, bytes, static_cast<int>(asked),
                                             &transferred, timeout)
                 : libusb_bulk_transfer(device, pipe.endpoint, bytes, static_cast<int>(asked),
                                        &transferred, timeout);
    }
    const uint32_t got = std::min(static_cast<uint32_t>(std::max(transferred, 0)), length);
    if (in && got > 0) std::memcpy(data, packets.data(), got);
    if (count) *count = got;
    if (rc != 0) return {0, errnoForTransferError(rc)};
    return {1, 0};
}

Outcome UsbAccess::write(void* handle, const void* data, uint32_t length, uint32_t* sent,
                         uint32_t timeoutMs) {
    // libusb only reads an OUT buffer.
    return transfer(handle, false, const_cast<void*>(data), length, sent, timeoutMs);
}

Outcome UsbAccess::read(void* handle, void* data, uint32_t length, uint32_t* received,
                        uint32_t timeoutMs) {
    return transfer(handle, true, data, length, received, timeoutMs);
}

Outcome UsbAccess::close(void* handle) {
    std::lock_guard lock(mutex_);
    Pipe* pipe = find(handle);
    if (!pipe) return {0, MPUSB_ERROR_INVALID_HANDLE};
    pipes_.erase(pipe);
    delete pipe;  // the last pipe of a device releases its interface
    return {1, 0};
}

}  // namespace ksx4::usb
