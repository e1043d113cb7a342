// ksx4sim show: describes every simulated tester in DIR. The memories are
// untrusted: every value is printed as stored, text bytes that do not print
// are shown as '?'.
#include "commands.h"
#include "tester_image.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace ksx4::sim {
namespace {

constexpr int kSlotBase = 0x7500;

uint16_t eepromWord(const TesterImage& image, int address) {
    return static_cast<uint16_t>(image.eeprom[address] << 8 | image.eeprom[address + 1]);
}

std::string printable(const uint8_t* bytes, int length) {
    std::string text;
    for (int i = 0; i < length; ++i)
        text += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '?';
    return text;
}

// A report time stamp: 2.048-second ticks from 1 January 1972, high byte first.
std::string timeStamp(const uint8_t* bytes) {
    if (bytes[0] == 0) return "no time stored";
    const uint64_t ticks = uint64_t{bytes[0]} << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
    const auto moment = std::chrono::sys_days(std::chrono::year(1972) / 1 / 1) +
                        std::chrono::seconds((ticks * 2048 + 500) / 1000);
    const auto day = std::chrono::floor<std::chrono::days>(moment);
    const std::chrono::year_month_day date(day);
    const std::chrono::hh_mm_ss time(moment - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02lld:%02lld:%02lld",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<long long>(time.hours().count()),
                  static_cast<long long>(time.minutes().count()),
                  static_cast<long long>(time.seconds().count()));
    return text;
}

std::string firmwareKind(uint8_t marker) {
    if (marker == 255) return "unmarked";
    return marker < 128 ? "KSX-4 firmware" : "KSX-4-PA firmware";
}

void showSlot(const TesterImage& image, bool pa, int slot) {
    const uint8_t* bytes = image.flash.data() + kSlotBase + 256 * (slot - 1);
    std::cout << "  Slot " << slot << ": ";
    if (bytes[255] != 2) {
        std::cout << "empty\n";
        return;
    }
    unsigned sum = 0;
    for (int i = 0; i < 254; ++i) sum += bytes[i];
    const int entrySize = pa ? 6 : 5;
    const uint8_t* table = bytes + (pa ? 51 : 69);
    int devices = 0;
    for (int d = 0; d < 32; ++d)
        if (table[entrySize * d + 3] != 0) ++devices;
    std::cout << '"' << printable(bytes, 15) << "\", saved "
              << (pa ? std::string("(no time in this layout)") : timeStamp(bytes + 20)) << ", "
              << devices << " device" << (devices == 1 ? "" : "s") << ", checksum "
              << ((sum & 0xFF) == bytes[254] ? "good" : "BAD") << "\n";
}

void showTester(const std::filesystem::path& dir, int index, const TesterImage& image) {
    const uint16_t serial = eepromWord(image, 254);
    const bool pa = serial >= 32768;
    std::cout << "Tester " << index << " (" << (dir / std::to_string(index)).string()
              << "): " << (pa ? "KSX-4-PA" : "KSX-4") << ", serial number "
              << (pa ? serial - 32768 : serial) << "\n";
    std::cout << "  Report names:";
    for (int n = 1; n <= 8; ++n)
        std::cout << (n == 1 ? " " : ", ") << '"'
                  << printable(image.eeprom.data() + 116 + 15 * (n - 1), 15) << '"';
    std::cout << "\n  Limits (mV): voltage " << eepromWord(image, 236) << ", signal "
              << eepromWord(image, 238) << ", low-frequency noise " << eepromWord(image, 240)
              << " / " << eepromWord(image, 242) << ", fieldbus-frequency noise "
              << eepromWord(image, 244) << " / " << eepromWord(image, 246)
              << ", high-frequency noise " << eepromWord(image, 248) << " / "
              << eepromWord(image, 250) << " (average / peak); retransmits "
              << eepromWord(image, 112) << "\n";
    const uint16_t indicator = eepromWord(image, 114);
    std::cout << "  Erase indicator: " << indicator
              << (indicator == 21845 ? " (reports are erased at the next start)" : " (no erase)")
              << "\n";
    const uint8_t marker = image.flash[32001];
    std::cout << "  Firmware marker: " << static_cast<int>(marker) << " (" << firmwareKind(marker)
              << ")\n";
    for (int slot = 1; slot <= 8; ++slot) showSlot(image, pa, slot);
}

void showStateFiles(const std::filesystem::path& dir) {
    for (const char* name : {"attached", "faults"}) {
        std::ifstream file(dir / name);
        if (!file) continue;
        std::cout << name << ":\n";
        for (std::string line; std::getline(file, line);) std::cout << "  " << line << "\n";
    }
}

}  // namespace

int showCommand(std::span<const std::string_view> args) {
    if (args.size() != 1) return usage("show needs exactly one folder");
    const std::filesystem::path dir(args[0]);
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        std::cerr << "ksx4sim: " << dir.string() << " is not a folder\n";
        return kExitFailed;
    }
    int result = kExitDone;
    int index = 1;
    for (; std::filesystem::is_directory(dir / std::to_string(index), ec); ++index) {
        TesterImage image;
        std::string error;
        if (readTester(dir, index, image, &error)) {
            showTester(dir, index, image);
        } else {
            std::cout << "Tester " << index << ": unusable, " << error << "\n";
            result = kExitFailed;
        }
    }
    if (index == 1) {
        std::cerr << "ksx4sim: " << dir.string() << " holds no tester (no folder 1)\n";
        return kExitFailed;
    }
    showStateFiles(dir);
    return result;
}

}  // namespace ksx4::sim
