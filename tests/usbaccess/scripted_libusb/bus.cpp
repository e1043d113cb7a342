#include "bus.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

namespace ksx4::test::scripted_libusb {

Bus& bus() {
    static Bus instance;
    return instance;
}

void misuse(const char* call, const char* what) {
    std::fprintf(stderr, "scripted libusb: %s: %s\n", call, what);
    std::abort();
}

namespace {

// The thread inside calls that handle events, and how deep.
std::mutex eventHandlerMutex;
std::thread::id eventHandler;
int eventHandlerDepth = 0;

}  // namespace

HandlingEvents::HandlingEvents(const char* call) {
    std::lock_guard lock(eventHandlerMutex);
    if (eventHandlerDepth > 0 && eventHandler != std::this_thread::get_id())
        misuse(call,
               "a second thread handles libusb's events while another does (libusb 1.0.26 can "
               "then read a freed transfer)");
    eventHandler = std::this_thread::get_id();
    ++eventHandlerDepth;
}

HandlingEvents::~HandlingEvents() {
    std::lock_guard lock(eventHandlerMutex);
    --eventHandlerDepth;
}

libusb_device& Bus::device(libusb_device* device, const char* call) {
    const auto found = devices_.find(device);
    if (found == devices_.end()) misuse(call, "not a device of this libusb");
    if (device->references <= 0) misuse(call, "device used after its last reference was dropped");
    return *device;
}

libusb_device_handle& Bus::handle(libusb_device_handle* handle, const char* call) {
    const auto found = handles_.find(handle);
    if (found == handles_.end()) misuse(call, "not a device handle of this libusb");
    if (!handle->open) misuse(call, "device handle used after libusb_close");
    return *handle;
}

libusb_context& Bus::context(libusb_context* context, const char* call) {
    if (context == nullptr) context = defaultContext();
    const auto found = contexts_.find(context);
    if (found == contexts_.end()) misuse(call, "not a context of this libusb");
    if (!context->alive) misuse(call, "context used after libusb_exit");
    return *context;
}

DeviceRecord& Bus::record(DeviceId id) {
    const auto found = records_.find(id);
    if (found == records_.end())
        throw std::invalid_argument("scripted libusb: no device " + std::to_string(id));
    return *found->second;
}

libusb_context* Bus::newContext() {
    auto context = std::make_unique<libusb_context>();
    auto* pointer = context.get();
    contexts_.emplace(pointer, std::move(context));
    return pointer;
}

std::vector<libusb_context*> Bus::liveContexts() const {
    std::vector<libusb_context*> live;
    for (const auto& [pointer, context] : contexts_)
        if (context->alive) live.push_back(pointer);
    return live;
}

libusb_context* Bus::defaultContext() {
    if (defaultContext_ == nullptr || !defaultContext_->alive) {
        defaultContext_ = newContext();
        defaultContext_->users = 0;
    }
    return defaultContext_;
}

libusb_device* Bus::ref(libusb_device* device) {
    ++device->references;
    return device;
}

void Bus::unref(libusb_device* device) {
    if (--device->references < 0) misuse("libusb_unref_device", "more unrefs than refs");
}

void Bus::queue(libusb_device* device, libusb_hotplug_event event) {
    // As in libusb, every context hears of every change; its callbacks are
    // chosen when the event is delivered.
    for (auto& [pointer, context] : contexts_)
        if (context->alive) context->events.push_back({ref(device), event});
}

void Bus::arrive(const std::shared_ptr<DeviceRecord>& record, uint8_t address) {
    auto device = std::make_unique<libusb_device>();
    device->record = record;
    device->bus = record->spec.bus;
    device->address = address;
    device->references = 1;  // the bus's own
    auto* pointer = device.get();
    devices_.emplace(pointer, std::move(device));
    record->spec.address = address;
    record->onBus = pointer;
    record->kernelDriverBound = record->spec.kernelDriverBound;
    lastAddress_[record->spec.bus] = address;
    present_.push_back(pointer);
    queue(pointer, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED);
}

void Bus::leave(DeviceRecord& record) {
    libusb_device* device = record.onBus;
    if (device == nullptr) return;
    record.onBus = nullptr;
    device->onBus = false;
    present_.erase(std::find(present_.begin(), present_.end(), device));
    queue(device, LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT);
    unref(device);
}

void Bus::restart(const std::shared_ptr<DeviceRecord>& record) {
    record->tester.start();
    leave(*record);
    arrive(record, nextFreeAddress(record->spec.bus));
}

bool Bus::addressInUse(uint8_t busNumber, uint8_t address) const {
    return std::any_of(present_.begin(), present_.end(), [&](const libusb_device* device) {
        return device->bus == busNumber && device->address == address;
    });
}

int Bus::liveDevices() const {
    return static_cast<int>(std::count_if(devices_.begin(), devices_.end(), [](const auto& entry) {
        return entry.first->references > 0;
    }));
}

uint8_t Bus::nextFreeAddress(uint8_t busNumber) const {
    // Like a host controller: the addresses after the last one handed out
    // first, 1 to 127.
    const auto last = lastAddress_.find(busNumber);
    const int start = last == lastAddress_.end() ? 1 : last->second + 1;
    for (int step = 0; step < 127; ++step) {
        const auto address = static_cast<uint8_t>((start - 1 + step) % 127 + 1);
        if (!addressInUse(busNumber, address)) return address;
    }
    throw std::runtime_error("scripted libusb: no free address on the bus");
}

DeviceId Bus::add(const DeviceSpec& spec) {
    if (spec.address < 1 || spec.address > 127)
        throw std::invalid_argument("scripted libusb: USB addresses are 1 to 127");
    if (addressInUse(spec.bus, spec.address))
        throw std::invalid_argument("scripted libusb: address " + std::to_string(spec.address) +
                                    " on bus " + std::to_string(spec.bus) + " is in use");
    auto record = std::make_shared<DeviceRecord>();
    record->id = ++lastId_;
    record->spec = spec;
    record->tester = UsbTester(std::move(record->spec.tester));
    record->spec.tester.reset();
    records_[record->id] = record;
    record->tester.start();  // a tester starts when plugged in
    arrive(record, spec.address);
    return record->id;
}

void Bus::forgetRecords() {
    while (!present_.empty()) leave(*present_.front()->record);
    // Device objects still referenced keep their records alive.
    records_.clear();
    lastAddress_.clear();
}

libusb_config_descriptor* Bus::newConfig(const DeviceSpec& spec) {
    auto block = std::make_unique<ConfigBlock>();
    for (const Endpoint& endpoint : spec.endpoints) {
        libusb_endpoint_descriptor descriptor{};
        descriptor.bLength = LIBUSB_DT_ENDPOINT_SIZE;
        descriptor.bDescriptorType = LIBUSB_DT_ENDPOINT;
        descriptor.bEndpointAddress = endpoint.address;
        descriptor.bmAttributes = endpoint.type;
        descriptor.wMaxPacketSize = endpoint.maxPacketSize;
        descriptor.bInterval = endpoint.type == LIBUSB_TRANSFER_TYPE_INTERRUPT ? 1 : 0;
        block->endpoints.push_back(descriptor);
    }
    auto& altsetting = block->altsetting;
    altsetting.bLength = LIBUSB_DT_INTERFACE_SIZE;
    altsetting.bDescriptorType = LIBUSB_DT_INTERFACE;
    altsetting.bNumEndpoints = static_cast<uint8_t>(block->endpoints.size());
    altsetting.bInterfaceClass = LIBUSB_CLASS_VENDOR_SPEC;
    altsetting.endpoint = block->endpoints.data();
    block->interface.altsetting = &block->altsetting;
    block->interface.num_altsetting = 1;
    auto& config = block->config;
    config.bLength = LIBUSB_DT_CONFIG_SIZE;
    config.bDescriptorType = LIBUSB_DT_CONFIG;
    config.wTotalLength = static_cast<uint16_t>(LIBUSB_DT_CONFIG_SIZE + LIBUSB_DT_INTERFACE_SIZE +
                                                LIBUSB_DT_ENDPOINT_SIZE * block->endpoints.size());
    config.bNumInterfaces = 1;
    config.bConfigurationValue = 1;
    config.bmAttributes = 0x80;  // bus powered
    config.MaxPower = 50;        // 100 mA
    config.interface = &block->interface;
    auto* pointer = &block->config;
    configs_.emplace(pointer, std::move(block));
    return pointer;
}

void Bus::freeConfig(libusb_config_descriptor* config) {
    if (configs_.erase(config) == 0)
        misuse("libusb_free_config_descriptor", "not a configuration of this libusb");
}

void Bus::waitIfHeld(std::unique_lock<std::mutex>& lock, DeviceRecord& record, Held call) {
    if (record.hold != call) return;
    record.hold.reset();
    const int number = ++heldCalls_;
    heldChanged_.notify_all();
    heldChanged_.wait(lock, [&] { return letGo_ >= number; });
    ++leftTheirWait_;
    heldChanged_.notify_all();
}

void Bus::waitForHeldCall(std::unique_lock<std::mutex>& lock) {
    heldChanged_.wait(lock, [this] { return heldCalls_ > letGo_; });
}

void Bus::letHeldCallGo(std::unique_lock<std::mutex>& lock) {
    letGo_ = heldCalls_;
    heldChanged_.notify_all();
    heldChanged_.wait(lock, [this] { return leftTheirWait_ >= letGo_; });
}

bool Bus::claimedElsewhere(const DeviceRecord& record, const libusb_device_handle& by) const {
    return std::any_of(handles_.begin(), handles_.end(), [&](const auto& entry) {
        const libusb_device_handle& other = *entry.second;
        return &other != &by && other.open && other.claimed &&
               other.device->record.get() == &record && other.device->onBus;
    });
}

libusb_device_handle* Bus::newHandle(libusb_device* device) {
    auto handle = std::make_unique<libusb_device_handle>();
    handle->device = ref(device);
    auto* pointer = handle.get();
    handles_.emplace(pointer, std::move(handle));
    return pointer;
}

}  // namespace ksx4::test::scripted_libusb
