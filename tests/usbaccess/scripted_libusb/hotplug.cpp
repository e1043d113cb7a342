// Hotplug: callbacks per context, arrivals and removals queued as they
// happen and delivered by libusb_handle_events*, which never waits (nothing
// could happen on this bus while it did), and by synchronous transfers,
// which handle libusb's events while they wait.
//
// As with libusb, the callbacks an event reaches are chosen when it is
// delivered: a callback registered with LIBUSB_HOTPLUG_ENUMERATE after a
// device arrived hears of that arrival twice, and one registered after a
// device left hears of a removal without an arrival.
#include "bus.h"

#include <algorithm>

using ksx4::test::scripted_libusb::bus;
using ksx4::test::scripted_libusb::HandlingEvents;
using ksx4::test::scripted_libusb::HotplugCallback;

namespace {

constexpr int kKnownEvents = LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT;

bool matches(int wanted, int value) {
    return wanted == LIBUSB_HOTPLUG_MATCH_ANY || wanted == value;
}

bool matches(const HotplugCallback& callback, const libusb_device& device, int event) {
    const auto& spec = device.record->spec;
    return (callback.events & event) != 0 && matches(callback.vendor, spec.vendor) &&
           matches(callback.product, spec.product) &&
           matches(callback.deviceClass, spec.deviceClass);
}

bool validMatch(int value, int highest) {
    return value == LIBUSB_HOTPLUG_MATCH_ANY || (value >= 0 && value <= highest);
}

bool registered(libusb_context& context, libusb_hotplug_callback_handle handle) {
    return std::any_of(context.callbacks.begin(), context.callbacks.end(),
                       [&](const HotplugCallback& c) { return c.handle == handle; });
}

void deregister(libusb_context& context, libusb_hotplug_callback_handle handle) {
    std::erase_if(context.callbacks, [&](const HotplugCallback& c) { return c.handle == handle; });
}

// Calls the callbacks with the bus unlocked; each is checked to be still
// registered first, since an earlier one may have deregistered it. A
// callback that returns 1 is deregistered.
void call(std::unique_lock<std::mutex>& lock, libusb_context* context,
          const std::vector<HotplugCallback>& callbacks, libusb_device* device,
          libusb_hotplug_event event) {
    for (const HotplugCallback& callback : callbacks) {
        if (!context->alive || !registered(*context, callback.handle)) continue;
        lock.unlock();
        const int finished = callback.function(context, device, event, callback.userData);
        lock.lock();
        if (finished == 1 && context->alive) deregister(*context, callback.handle);
    }
}

int deliverEvents(libusb_context* given) {
    const HandlingEvents handling("libusb_handle_events");
    std::unique_lock lock(bus().mutex);
    libusb_context* context = &bus().context(given, "libusb_handle_events");
    while (context->alive && !context->events.empty()) {
        const auto delivered = context->events.front();
        context->events.pop_front();
        std::vector<HotplugCallback> reached;
        for (const HotplugCallback& callback : context->callbacks)
            if (matches(callback, *delivered.device, delivered.event)) reached.push_back(callback);
        call(lock, context, reached, delivered.device, delivered.event);
        bus().unref(delivered.device);
    }
    return LIBUSB_SUCCESS;
}

}  // namespace

namespace ksx4::test::scripted_libusb {

void deliverPendingEvents() {
    std::vector<libusb_context*> contexts;
    {
        std::lock_guard lock(bus().mutex);
        contexts = bus().liveContexts();
    }
    for (libusb_context* context : contexts) deliverEvents(context);
}

}  // namespace ksx4::test::scripted_libusb

extern "C" {

int libusb_has_capability(uint32_t capability) {
    std::lock_guard lock(bus().mutex);
    switch (capability) {
        case LIBUSB_CAP_HAS_CAPABILITY:
        case LIBUSB_CAP_SUPPORTS_DETACH_KERNEL_DRIVER:
            return 1;
        case LIBUSB_CAP_HAS_HOTPLUG:
            return bus().hotplug ? 1 : 0;
        default:
            return 0;
    }
}

int libusb_hotplug_register_callback(libusb_context* given, int events, int flags, int vendor,
                                     int product, int deviceClass,
                                     libusb_hotplug_callback_fn function, void* userData,
                                     libusb_hotplug_callback_handle* handle) {
    std::unique_lock lock(bus().mutex);
    libusb_context* context = &bus().context(given, "libusb_hotplug_register_callback");
    if (!bus().hotplug) return LIBUSB_ERROR_NOT_SUPPORTED;
    if (events == 0 || (events & ~kKnownEvents) != 0 || (flags & ~LIBUSB_HOTPLUG_ENUMERATE) != 0 ||
        !validMatch(vendor, 0xFFFF) || !validMatch(product, 0xFFFF) ||
        !validMatch(deviceClass, 0xFF) || function == nullptr)
        return LIBUSB_ERROR_INVALID_PARAM;
    const HotplugCallback callback{++context->lastHandle, events,   vendor,  product,
                                   deviceClass,           function, userData};
    context->callbacks.push_back(callback);
    if (handle) *handle = callback.handle;
    if (flags & LIBUSB_HOTPLUG_ENUMERATE) {
        // The devices present now, each held for the time of its call.
        std::vector<libusb_device*> present;
        for (libusb_device* device : bus().present())
            if (matches(callback, *device, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED))
                present.push_back(bus().ref(device));
        for (libusb_device* device : present) {
            call(lock, context, {callback}, device, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED);
            bus().unref(device);
        }
    }
    return LIBUSB_SUCCESS;
}

void libusb_hotplug_deregister_callback(libusb_context* given,
                                        libusb_hotplug_callback_handle handle) {
    std::lock_guard lock(bus().mutex);
    deregister(bus().context(given, "libusb_hotplug_deregister_callback"), handle);
}

int libusb_handle_events(libusb_context* context) {
    return deliverEvents(context);
}

int libusb_handle_events_completed(libusb_context* context, int* /*completed*/) {
    return deliverEvents(context);
}

int libusb_handle_events_timeout(libusb_context* context, timeval* /*timeout*/) {
    return deliverEvents(context);
}

int libusb_handle_events_timeout_completed(libusb_context* context, timeval* /*timeout*/,
                                           int* /*completed*/) {
    return deliverEvents(context);
}

}  // extern "C"
