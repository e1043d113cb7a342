#include "tester_image.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace ksx4::sim {
namespace {

constexpr int kSlotBase = 0x7500;
constexpr int kSlotSize = 256;
constexpr int kMarkerAddress = 32001;
constexpr int kSerialAddress = 254;

// Report words are stored low byte first, time stamps high byte first.
void putWord(uint8_t* slot, int offset, uint16_t value) {
    slot[offset] = static_cast<uint8_t>(value & 0xFF);
    slot[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void putTicks(uint8_t* slot, int offset, uint32_t ticks) {
    for (int i = 0; i < 4; ++i) slot[offset + i] = static_cast<uint8_t>(ticks >> (24 - 8 * i));
}

void putText(uint8_t* at, int length, const std::string& text) {
    for (int i = 0; i < length; ++i)
        at[i] = i < static_cast<int>(text.size()) ? static_cast<uint8_t>(text[i]) : uint8_t{' '};
}

void storeFieldbusRecord(uint8_t* slot, const Report& r) {
    putTicks(slot, 16, r.connectedTicks);
    putTicks(slot, 20, r.savedTicks);
    putWord(slot, 24, r.voltage);
    putWord(slot, 26, r.lowestSignal);
    putWord(slot, 28, r.lowestSignalAddress);
    putTicks(slot, 30, r.lowestSignalTicks);
    putWord(slot, 34, r.avgFieldbusNoise);
    putWord(slot, 36, r.peakFieldbusNoise);
    putTicks(slot, 38, r.peakFieldbusTicks);
    putWord(slot, 42, r.avgLowNoise);
    putWord(slot, 44, r.peakLowNoise);
    putTicks(slot, 46, r.peakLowTicks);
    putWord(slot, 50, r.avgHighNoise);
    putWord(slot, 52, r.peakHighNoise);
    putTicks(slot, 54, r.peakHighTicks);
    slot[58] = r.shieldShort;
    putWord(slot, 59, r.lasAddress);
    putWord(slot, 61, r.addDropAddress);
    slot[63] = r.addDropKind;
    putTicks(slot, 64, r.addDropTicks);
    slot[68] = r.activeDevices;
    for (int d = 0; d < 32; ++d) {
        if (!r.devices[d]) continue;
        uint8_t* entry = slot + 69 + 5 * d;
        entry[0] = r.devices[d]->address;
        putWord(entry, 1, r.devices[d]->signal);
        entry[3] = r.devices[d]->status;
        entry[4] = r.devices[d]->retransmits;
    }
}

void storeProfibusRecord(uint8_t* slot, const Report& r) {
    putWord(slot, 16, r.voltage);
    putWord(slot, 18, r.lowestSignal);
    putWord(slot, 20, r.lowestSignalAddress);
    putWord(slot, 22, r.avgFieldbusNoise);
    putWord(slot, 24, r.peakFieldbusNoise);
    putWord(slot, 32, r.avgLowNoise);
    putWord(slot, 34, r.peakLowNoise);
    putWord(slot, 36, r.avgHighNoise);
    putWord(slot, 38, r.peakHighNoise);
    slot[40] = r.shieldShort;
    putWord(slot, 41, r.addDropAddress);
    slot[49] = r.addDropKind;
    slot[50] = r.activeDevices;
    for (int d = 0; d < 32; ++d) {
        if (!r.devices[d]) continue;
        uint8_t* entry = slot + 51 + 6 * d;
        entry[0] = r.devices[d]->address;
        putWord(entry, 1, r.devices[d]->signal);
        entry[3] = r.devices[d]->status;
        entry[4] = r.devices[d]->role;
        entry[5] = r.devices[d]->retransmits;
    }
}

bool fail(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return false;
}

// Writes in place when the file exists, so a simulator that has the file
// mapped sees the new bytes.
bool writeFileInPlace(const std::filesystem::path& path, const uint8_t* data, size_t size,
                      std::string* error) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) std::ofstream(path, std::ios::binary).close();
    if (std::filesystem::file_size(path, ec) != size || ec) {
        std::filesystem::resize_file(path, size, ec);
        if (ec) return fail(error, path.string() + ": " + ec.message());
    }
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    file.flush();
    if (!file) return fail(error, path.string() + ": cannot be written");
    return true;
}

bool readFileExact(const std::filesystem::path& path, uint8_t* data, size_t size,
                   std::string* error) {
    std::error_code ec;
    const auto actual = std::filesystem::file_size(path, ec);
    if (ec) return fail(error, path.string() + ": " + ec.message());
    if (actual != size)
        return fail(error, path.string() + ": " + std::to_string(actual) + " bytes instead of " +
                               std::to_string(size));
    std::ifstream file(path, std::ios::binary);
    file.read(reinterpret_cast<char*>(data), static_cast<std::streamsize>(size));
    if (!file) return fail(error, path.string() + ": cannot be read");
    return true;
}

void writeSmallFile(const std::filesystem::path& path, const std::string& text) {
    // Replaced through a rename, so a reader never sees half a file.
    const auto temporary = path.string() + ".new";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << text;
    }
    std::filesystem::rename(temporary, path);
}

}  // namespace

TesterImage blankTester(bool pa, uint16_t serial) {
    TesterImage image;
    image.flash.fill(0xFF);
    // The marker of the current firmware of each kind: the transfer accepts
    // exactly 1 (or 0) on a KSX-4 and 128 on a KSX-4-PA.
    image.flash[kMarkerAddress] = pa ? 0x80 : 0x01;
    image.eeprom.fill(0x00);
    for (int n = 1; n <= 8; ++n)
        setEepromText(image, 116 + 15 * (n - 1), 15, "Report " + std::to_string(n));
    const uint16_t limits[8] = {9000, 150, 150, 150, 75, 75, 150, 150};
    for (int i = 0; i < 8; ++i) setEepromWord(image, 236 + 2 * i, limits[i]);
    setEepromWord(image, 0, 3160);
    setEepromWord(image, 2, 2160);
    setEepromWord(image, 4, 212);
    setEepromWord(image, 6, 0);
    setEepromWord(image, kSerialAddress, static_cast<uint16_t>(serial + (pa ? 32768u : 0u)));
    return image;
}

void storeReport(TesterImage& image, bool pa, int slot, const Report& report) {
    if (slot < 1 || slot > 8) return;
    uint8_t* bytes = image.flash.data() + kSlotBase + kSlotSize * (slot - 1);
    std::fill(bytes, bytes + kSlotSize, uint8_t{0});
    putText(bytes, 15, report.locationName);
    if (pa)
        storeProfibusRecord(bytes, report);
    else
        storeFieldbusRecord(bytes, report);
    unsigned sum = 0;
    for (int i = 0; i < 254; ++i) sum += bytes[i];
    bytes[254] = static_cast<uint8_t>(sum & 0xFF);
    bytes[255] = 2;
}

void setEepromWord(TesterImage& image, int address, uint16_t value) {
    if (address < 0 || address > 254) return;
    image.eeprom[address] = static_cast<uint8_t>(value >> 8);
    image.eeprom[address + 1] = static_cast<uint8_t>(value & 0xFF);
}

void setEepromText(TesterImage& image, int address, int length, const std::string& ansiText) {
    if (address < 0 || length < 0 || address + length > 256) return;
    putText(image.eeprom.data() + address, length, ansiText);
}

bool writeTester(const std::filesystem::path& dir, int index, const TesterImage& image,
                 std::string* error) {
    const auto folder = dir / std::to_string(index);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return fail(error, folder.string() + ": " + ec.message());
    return writeFileInPlace(folder / "flash.bin", image.flash.data(), image.flash.size(), error) &&
           writeFileInPlace(folder / "eeprom.bin", image.eeprom.data(), image.eeprom.size(), error);
}

bool readTester(const std::filesystem::path& dir, int index, TesterImage& image,
                std::string* error) {
    const auto folder = dir / std::to_string(index);
    return readFileExact(folder / "flash.bin", image.flash.data(), image.flash.size(), error) &&
           readFileExact(folder / "eeprom.bin", image.eeprom.data(), image.eeprom.size(), error);
}

void setAttached(const std::filesystem::path& dir, int count) {
    std::error_code ec;
    if (count < 0) {
        std::filesystem::remove(dir / "attached", ec);
        return;
    }
    std::filesystem::create_directories(dir, ec);
    writeSmallFile(dir / "attached", std::to_string(count) + "\n");
}

void setFaults(const std::filesystem::path& dir, const std::string& rules) {
    std::error_code ec;
    if (rules.empty()) {
        std::filesystem::remove(dir / "faults", ec);
        return;
    }
    std::filesystem::create_directories(dir, ec);
    writeSmallFile(dir / "faults", rules);
}

}  // namespace ksx4::sim
