// Contexts, device lists and references, descriptors, opening, claiming and
// the kernel driver, with libusb's documented results.
#include "bus.h"

#include <cerrno>
#include <cstdlib>

using ksx4::test::scripted_libusb::bus;
using ksx4::test::scripted_libusb::DeviceRecord;
using ksx4::test::scripted_libusb::Endpoint;
using ksx4::test::scripted_libusb::Held;

namespace {

bool gone(const libusb_device_handle& handle) {
    return !handle.device->onBus;
}

// As libusb's Linux backend reports a refused open of the device node.
int openError(int error) {
    if (error == EACCES) return LIBUSB_ERROR_ACCESS;
    if (error == ENOENT) return LIBUSB_ERROR_NO_DEVICE;
    return LIBUSB_ERROR_IO;
}

// As it reports a refused claim: with auto-detach it asks usbfs to
// disconnect the kernel driver and claim in one request, whose errors it
// maps differently from those of a plain claim.
int claimError(int error, bool autoDetach) {
    if (error == EBUSY) return LIBUSB_ERROR_BUSY;
    if (error == ENODEV) return LIBUSB_ERROR_NO_DEVICE;
    if (autoDetach && error == EINVAL) return LIBUSB_ERROR_INVALID_PARAM;
    if (!autoDetach && error == ENOENT) return LIBUSB_ERROR_NOT_FOUND;
    return LIBUSB_ERROR_OTHER;
}

}  // namespace

extern "C" {

int libusb_init(libusb_context** context) {
    std::lock_guard lock(bus().mutex);
    if (context == nullptr) {
        ++bus().defaultContext()->users;
        return LIBUSB_SUCCESS;
    }
    *context = bus().newContext();
    return LIBUSB_SUCCESS;
}

void libusb_exit(libusb_context* context) {
    std::lock_guard lock(bus().mutex);
    libusb_context& state = bus().context(context, "libusb_exit");
    if (context == nullptr && --state.users > 0) return;
    for (const auto& event : state.events) bus().unref(event.device);
    state.events.clear();
    state.callbacks.clear();
    state.alive = false;
}

ssize_t libusb_get_device_list(libusb_context* context, libusb_device*** list) {
    std::lock_guard lock(bus().mutex);
    bus().context(context, "libusb_get_device_list");
    ++bus().counters.deviceLists;
    const auto& present = bus().present();
    // NULL-terminated, one reference per entry.
    auto** entries =
        static_cast<libusb_device**>(std::calloc(present.size() + 1, sizeof(libusb_device*)));
    if (entries == nullptr) return LIBUSB_ERROR_NO_MEM;
    for (size_t i = 0; i < present.size(); ++i) entries[i] = bus().ref(present[i]);
    *list = entries;
    return static_cast<ssize_t>(present.size());
}

void libusb_free_device_list(libusb_device** list, int unrefDevices) {
    if (list == nullptr) return;
    {
        std::lock_guard lock(bus().mutex);
        if (unrefDevices)
            for (libusb_device** entry = list; *entry != nullptr; ++entry)
                bus().unref(&bus().device(*entry, "libusb_free_device_list"));
    }
    std::free(list);
}

libusb_device* libusb_ref_device(libusb_device* device) {
    std::lock_guard lock(bus().mutex);
    return bus().ref(&bus().device(device, "libusb_ref_device"));
}

void libusb_unref_device(libusb_device* device) {
    if (device == nullptr) return;
    std::lock_guard lock(bus().mutex);
    bus().unref(&bus().device(device, "libusb_unref_device"));
}

// Descriptors stay readable after the device left the bus.
int libusb_get_device_descriptor(libusb_device* device, libusb_device_descriptor* descriptor) {
    std::lock_guard lock(bus().mutex);
    const auto& spec = bus().device(device, "libusb_get_device_descriptor").record->spec;
    *descriptor = {};
    descriptor->bLength = LIBUSB_DT_DEVICE_SIZE;
    descriptor->bDescriptorType = LIBUSB_DT_DEVICE;
    descriptor->bcdUSB = 0x0200;
    descriptor->bDeviceClass = spec.deviceClass;
    descriptor->bMaxPacketSize0 = 8;
    descriptor->idVendor = spec.vendor;
    descriptor->idProduct = spec.product;
    descriptor->bNumConfigurations = 1;
    return LIBUSB_SUCCESS;
}

uint8_t libusb_get_bus_number(libusb_device* device) {
    std::lock_guard lock(bus().mutex);
    return bus().device(device, "libusb_get_bus_number").bus;
}

uint8_t libusb_get_device_address(libusb_device* device) {
    std::lock_guard lock(bus().mutex);
    return bus().device(device, "libusb_get_device_address").address;
}

int libusb_get_active_config_descriptor(libusb_device* device, libusb_config_descriptor** config) {
    std::lock_guard lock(bus().mutex);
    const auto& spec = bus().device(device, "libusb_get_active_config_descriptor").record->spec;
    *config = bus().newConfig(spec);
    return LIBUSB_SUCCESS;
}

void libusb_free_config_descriptor(libusb_config_descriptor* config) {
    if (config == nullptr) return;
    std::lock_guard lock(bus().mutex);
    bus().freeConfig(config);
}

int libusb_get_max_packet_size(libusb_device* device, unsigned char endpoint) {
    std::lock_guard lock(bus().mutex);
    const Endpoint* found =
        bus().device(device, "libusb_get_max_packet_size").record->endpoint(endpoint);
    return found ? int{found->maxPacketSize} : int{LIBUSB_ERROR_NOT_FOUND};
}

int libusb_open(libusb_device* device, libusb_device_handle** handle) {
    std::lock_guard lock(bus().mutex);
    libusb_device& opened = bus().device(device, "libusb_open");
    if (!opened.onBus) return LIBUSB_ERROR_NO_DEVICE;
    if (opened.record->openRefusal != 0) return openError(opened.record->openRefusal);
    *handle = bus().newHandle(device);  // the handle holds a reference
    ++bus().counters.opens;
    ++bus().counters.openHandles;
    return LIBUSB_SUCCESS;
}

void libusb_close(libusb_device_handle* handle) {
    if (handle == nullptr) return;
    std::lock_guard lock(bus().mutex);
    libusb_device_handle& closing = bus().handle(handle, "libusb_close");
    // Closing gives up a claim, but only libusb_release_interface attaches
    // an auto-detached kernel driver again.
    closing.claimed = false;
    closing.open = false;
    ++bus().counters.closes;
    --bus().counters.openHandles;
    bus().unref(closing.device);
}

libusb_device* libusb_get_device(libusb_device_handle* handle) {
    std::lock_guard lock(bus().mutex);
    return bus().handle(handle, "libusb_get_device").device;  // adds no reference
}

int libusb_set_auto_detach_kernel_driver(libusb_device_handle* handle, int enable) {
    std::lock_guard lock(bus().mutex);
    bus().handle(handle, "libusb_set_auto_detach_kernel_driver").autoDetach = enable != 0;
    return LIBUSB_SUCCESS;
}

int libusb_claim_interface(libusb_device_handle* handle, int interfaceNumber) {
    std::lock_guard lock(bus().mutex);
    libusb_device_handle& claiming = bus().handle(handle, "libusb_claim_interface");
    DeviceRecord& record = *claiming.device->record;
    if (interfaceNumber != 0) return LIBUSB_ERROR_NOT_FOUND;
    if (gone(claiming)) return LIBUSB_ERROR_NO_DEVICE;
    if (record.claimRefusal != 0) return claimError(record.claimRefusal, claiming.autoDetach);
    if (!claiming.claimed) {
        if (bus().claimedElsewhere(record, claiming)) return LIBUSB_ERROR_BUSY;
        if (record.kernelDriverBound) {
            if (!claiming.autoDetach) return LIBUSB_ERROR_BUSY;
            record.kernelDriverBound = false;
            claiming.detachedDriver = true;
        }
        claiming.claimed = true;
    }
    // Claiming a claimed interface again succeeds without doing anything.
    ++bus().counters.claims;
    return LIBUSB_SUCCESS;
}

int libusb_release_interface(libusb_device_handle* handle, int interfaceNumber) {
    std::unique_lock lock(bus().mutex);
    libusb_device_handle& releasing = bus().handle(handle, "libusb_release_interface");
    bus().waitIfHeld(lock, *releasing.device->record, Held::Release);
    if (interfaceNumber != 0 || !releasing.claimed) return LIBUSB_ERROR_NOT_FOUND;
    // As libusb: a release the system refuses leaves the interface claimed
    // (until libusb_close).
    if (gone(releasing)) return LIBUSB_ERROR_NO_DEVICE;
    releasing.claimed = false;
    if (releasing.autoDetach && releasing.detachedDriver) {
        releasing.device->record->kernelDriverBound = true;
        releasing.detachedDriver = false;
    }
    ++bus().counters.releases;
    return LIBUSB_SUCCESS;
}

int libusb_kernel_driver_active(libusb_device_handle* handle, int interfaceNumber) {
    std::lock_guard lock(bus().mutex);
    libusb_device_handle& asking = bus().handle(handle, "libusb_kernel_driver_active");
    if (interfaceNumber != 0) return LIBUSB_ERROR_NOT_FOUND;
    if (gone(asking)) return LIBUSB_ERROR_NO_DEVICE;
    return asking.device->record->kernelDriverBound ? 1 : 0;
}

int libusb_detach_kernel_driver(libusb_device_handle* handle, int interfaceNumber) {
    std::lock_guard lock(bus().mutex);
    libusb_device_handle& detaching = bus().handle(handle, "libusb_detach_kernel_driver");
    DeviceRecord& record = *detaching.device->record;
    if (interfaceNumber != 0) return LIBUSB_ERROR_INVALID_PARAM;
    if (gone(detaching)) return LIBUSB_ERROR_NO_DEVICE;
    // A claimed interface is bound to a libusb program, which is not ours to detach.
    if (detaching.claimed || bus().claimedElsewhere(record, detaching)) return LIBUSB_ERROR_BUSY;
    if (!record.kernelDriverBound) return LIBUSB_ERROR_NOT_FOUND;
    record.kernelDriverBound = false;
    return LIBUSB_SUCCESS;
}

int libusb_attach_kernel_driver(libusb_device_handle* handle, int interfaceNumber) {
    std::lock_guard lock(bus().mutex);
    libusb_device_handle& attaching = bus().handle(handle, "libusb_attach_kernel_driver");
    DeviceRecord& record = *attaching.device->record;
    if (interfaceNumber != 0) return LIBUSB_ERROR_INVALID_PARAM;
    if (gone(attaching)) return LIBUSB_ERROR_NO_DEVICE;
    if (attaching.claimed || bus().claimedElsewhere(record, attaching)) return LIBUSB_ERROR_BUSY;
    if (record.kernelDriverBound) return LIBUSB_ERROR_NOT_FOUND;  // nothing was detached
    record.kernelDriverBound = true;
    return LIBUSB_SUCCESS;
}

}  // extern "C"
