// The sample tester of `ksx4sim init`: plausible measurements with a few
// values that the report judges BAD or WARN. A small generator of our own
// keeps the bytes identical on every platform for the same seed.
#include "tester_image.h"

#include <algorithm>

namespace ksx4::sim {
namespace {

class SeededNumbers {
  public:
    explicit SeededNumbers(uint32_t seed) : state_(0x9E3779B97F4A7C15ull ^ seed) {}
    // Uniform enough for sample data, in [low, high].
    uint32_t between(uint32_t low, uint32_t high) {
        return low + static_cast<uint32_t>(next() % (uint64_t{high} - low + 1));
    }

  private:
    uint64_t next() {  // splitmix64
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint64_t state_;
};

constexpr const char* kLocationNames[8] = {"Tank Farm North", "Boiler House 2", "Pump Station A",
                                           "Cooling Tower",   "Reactor R-101",  "Mixing Line 3",
                                           "Filling Hall",    "Utility Bridge"};

// 1 January 2025 in 2.048-second ticks from 1 January 1972.
constexpr uint32_t kTicks2025 = 816707812;
constexpr uint32_t kTicksPerMinute = 29;  // 60 / 2.048, rounded down
constexpr uint32_t kTicksPerDay = 42187;  // 86400 / 2.048

std::string locationName(const SampleOptions& options, int slot) {
    return options.variedNames ? kLocationNames[slot - 1] : "Report " + std::to_string(slot);
}

Report sampleReport(const SampleOptions& options, int slot, uint32_t savedTicks,
                    SeededNumbers& numbers) {
    Report r;
    r.locationName = locationName(options, slot);
    r.savedTicks = savedTicks;
    r.connectedTicks = savedTicks - numbers.between(10, 90) * kTicksPerMinute;
    auto during = [&] { return numbers.between(r.connectedTicks, r.savedTicks); };
    r.voltage = static_cast<uint16_t>(slot == 3 ? 8600 : numbers.between(17500, 27500));

    r.avgLowNoise = static_cast<uint16_t>(numbers.between(8, 60));
    r.peakLowNoise = static_cast<uint16_t>(r.avgLowNoise + numbers.between(5, 60));
    r.peakLowTicks = during();
    r.avgFieldbusNoise = static_cast<uint16_t>(numbers.between(4, 35));
    r.peakFieldbusNoise = static_cast<uint16_t>(r.avgFieldbusNoise + numbers.between(3, 30));
    r.peakFieldbusTicks = during();
    r.avgHighNoise = static_cast<uint16_t>(numbers.between(8, 60));
    r.peakHighNoise =
        static_cast<uint16_t>(slot == 5 ? 186 : r.avgHighNoise + numbers.between(5, 60));
    r.peakHighTicks = during();
    r.shieldShort = slot == 6 ? 4 : 2;

    const int deviceCount = std::clamp(options.devices, 0, 32);
    const uint8_t firstAddress = options.pa ? 3 : 20;
    r.addDropAddress = options.pa ? 255 : 65535;
    for (int d = 0; d < deviceCount; ++d) {
        DeviceEntry entry;
        entry.address = static_cast<uint8_t>(firstAddress + d);
        entry.signal = static_cast<uint16_t>(numbers.between(280, 900));
        entry.retransmits = static_cast<uint8_t>(numbers.between(0, 9) < 8 ? 0 : 1 + d % 3);
        entry.role = options.pa && d == 0 ? 1 : 0;
        r.devices[d] = entry;
    }
    if (deviceCount > 0) {
        // Slot 2 saw a device added (a warning), slot 4 one dropped, slot 7 a
        // weak device below the signal limit.
        auto& last = *r.devices[deviceCount - 1];
        if (slot == 2 || slot == 4) {
            last.status = slot == 2 ? 2 : 3;
            r.addDropKind = last.status;
            r.addDropAddress = last.address;
            r.addDropTicks = during();
        }
        if (slot == 7) last.signal = 120;
        const auto weakest =
            std::min_element(r.devices.begin(), r.devices.begin() + deviceCount,
                             [](const auto& a, const auto& b) { return a->signal < b->signal; });
        r.lowestSignal = (*weakest)->signal;
        r.lowestSignalAddress = (*weakest)->address;
        r.lowestSignalTicks = during();
        r.lasAddress = 16;
        r.activeDevices = static_cast<uint8_t>(std::count_if(
            r.devices.begin(), r.devices.end(), [](const auto& e) { return e && e->status != 3; }));
    }
    return r;
}

}  // namespace

TesterImage sampleTester(const SampleOptions& options) {
    SeededNumbers numbers(options.seed);
    TesterImage image = blankTester(options.pa, options.serial);
    for (int n = 1; n <= 8; ++n)
        setEepromText(image, 116 + 15 * (n - 1), 15, locationName(options, n));
    // A calibrated tester: noise rows with slope, offset and range end.
    for (int row = 0; row < 4; ++row) {
        for (int base : {8, 44, 80}) {
            setEepromWord(image, base + 6 * row, static_cast<uint16_t>(numbers.between(900, 1100)));
            setEepromWord(image, base + 6 * row + 2, static_cast<uint16_t>(numbers.between(0, 40)));
            setEepromWord(image, base + 6 * row + 4, static_cast<uint16_t>(250 * (row + 1)));
        }
    }
    setEepromWord(image, 252, 23);

    uint32_t saved = kTicks2025 + numbers.between(0, 300) * kTicksPerDay;
    for (int slot = 1; slot <= std::clamp(options.reports, 0, 8); ++slot) {
        saved += numbers.between(1, 5) * kTicksPerDay + numbers.between(0, 600) * kTicksPerMinute;
        storeReport(image, options.pa, slot, sampleReport(options, slot, saved, numbers));
    }
    return image;
}

}  // namespace ksx4::sim
