#include "diagnosis/devices.h"

#include <algorithm>

namespace ksx4::diagnosis {

bool isLive(const DeviceReading& device) {
    return device.signalMv.has_value() && device.status != EntryStatus::Dropped;
}

namespace {

std::vector<const DeviceReading*> byAddress(const SegmentReading& reading, bool liveOnly) {
    std::vector<const DeviceReading*> entries;
    entries.reserve(reading.devices.size());
    for (const DeviceReading& device : reading.devices) {
        if (!liveOnly || isLive(device)) entries.push_back(&device);
    }
    std::stable_sort(
        entries.begin(), entries.end(),
        [](const DeviceReading* a, const DeviceReading* b) { return a->address < b->address; });
    return entries;
}

}  // namespace

std::vector<const DeviceReading*> liveDevices(const SegmentReading& reading) {
    return byAddress(reading, true);
}

std::vector<const DeviceReading*> entriesByAddress(const SegmentReading& reading) {
    return byAddress(reading, false);
}

const DeviceReading* deviceAt(const SegmentReading& reading, int address) {
    for (const DeviceReading& device : reading.devices) {
        if (device.address == address) return &device;
    }
    return nullptr;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    if (values.size() % 2 == 1) return *middle;
    const double upper = *middle;
    const double lower = *std::max_element(values.begin(), middle);
    return (lower + upper) / 2.0;
}

}  // namespace ksx4::diagnosis
