#pragma once
// The device table as the rules compare it: live devices (with a signal and
// not dropped), matched by address, and medians over them.
#include "diagnosis/segment_reading.h"

#include <vector>

namespace ksx4::diagnosis {

// A device that answered: it has a signal and the tester did not see it drop.
bool isLive(const DeviceReading& device);
// The live devices, by address.
std::vector<const DeviceReading*> liveDevices(const SegmentReading& reading);
// Every entry, dropped ones too, by address.
std::vector<const DeviceReading*> entriesByAddress(const SegmentReading& reading);
// The report's entry for the address, live or not; null when it has none.
const DeviceReading* deviceAt(const SegmentReading& reading, int address);
// The median; 0 for no values.
double median(std::vector<double> values);

}  // namespace ksx4::diagnosis
