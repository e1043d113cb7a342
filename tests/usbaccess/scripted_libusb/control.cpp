// The tests' side of the scripted libusb: plugging devices in and out,
// scripting faults and refusals, and reading what happened.
#include "bus.h"

#include <stdexcept>

namespace ksx4::test::scripted_libusb {

void reset(bool hotplug) {
    std::lock_guard lock(bus().mutex);
    bus().forgetRecords();
    bus().hotplug = hotplug;
    bus().counters = {};
    bus().transfers.clear();
}

DeviceId plugIn(const DeviceSpec& spec) {
    std::lock_guard lock(bus().mutex);
    return bus().add(spec);
}

void unplug(DeviceId device) {
    std::lock_guard lock(bus().mutex);
    bus().leave(bus().record(device));
}

void failTransfers(DeviceId device, bool in, Fault fault, int times, int skip) {
    std::lock_guard lock(bus().mutex);
    DeviceRecord& record = bus().record(device);
    (in ? record.inFaults : record.outFaults) = FaultPlan{fault, skip, times};
}

void refuse(DeviceId device, Step step, int error) {
    std::lock_guard lock(bus().mutex);
    DeviceRecord& record = bus().record(device);
    (step == Step::Open ? record.openRefusal : record.claimRefusal) = error;
}

void holdNextCall(DeviceId device, Held call) {
    std::lock_guard lock(bus().mutex);
    bus().record(device).hold = call;
}

void waitForHeldCall() {
    std::unique_lock lock(bus().mutex);
    bus().waitForHeldCall(lock);
}

void letHeldCallGo() {
    std::unique_lock lock(bus().mutex);
    bus().letHeldCallGo(lock);
}

sim::TesterImage& tester(DeviceId device) {
    std::lock_guard lock(bus().mutex);
    DeviceRecord& record = bus().record(device);
    if (!record.tester.answers()) throw std::invalid_argument("scripted libusb: not a tester");
    return record.tester.image();
}

bool kernelDriverBound(DeviceId device) {
    std::lock_guard lock(bus().mutex);
    return bus().record(device).kernelDriverBound;
}

bool present(DeviceId device) {
    std::lock_guard lock(bus().mutex);
    return bus().record(device).onBus != nullptr;
}

uint8_t address(DeviceId device) {
    std::lock_guard lock(bus().mutex);
    return bus().record(device).spec.address;
}

Counters counters() {
    std::lock_guard lock(bus().mutex);
    Counters now = bus().counters;
    now.liveDevices = bus().liveDevices();
    return now;
}

std::vector<TransferRecord> transfers() {
    std::lock_guard lock(bus().mutex);
    return bus().transfers;
}

}  // namespace ksx4::test::scripted_libusb
