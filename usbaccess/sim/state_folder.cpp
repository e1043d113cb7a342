#include "state_folder.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <fstream>
#include <iterator>

namespace ksx4::sim {
namespace {

bool isRegularOfSize(const std::filesystem::path& path, size_t size) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           static_cast<size_t>(info.st_size) == size;
}

uint8_t* mapExact(const std::filesystem::path& path, size_t size) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    void* mapped = MAP_FAILED;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<size_t>(info.st_size) == size)
        mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    return mapped == MAP_FAILED ? nullptr : static_cast<uint8_t*>(mapped);
}

std::optional<std::string> readSmallFile(const std::filesystem::path& path, bool& present) {
    std::ifstream file(path, std::ios::binary);
    present = static_cast<bool>(file);
    if (!file) return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) return std::nullopt;
    return text;
}

int parseCount(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.remove_suffix(1);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    int count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || count < 0)
        return -1;
    return count;
}

}  // namespace

std::unique_ptr<MappedTester> MappedTester::open(const std::filesystem::path& folder) {
    uint8_t* flash = mapExact(folder / "flash.bin", kFlashSize);
    if (!flash) return nullptr;
    uint8_t* eeprom = mapExact(folder / "eeprom.bin", kEepromSize);
    if (!eeprom) {
        ::munmap(flash, kFlashSize);
        return nullptr;
    }
    return std::unique_ptr<MappedTester>(new MappedTester(flash, eeprom));
}

MappedTester::~MappedTester() {
    ::munmap(flash_, kFlashSize);
    ::munmap(eeprom_, kEepromSize);
}

TesterMemories MappedTester::memories() const {
    return {std::span<uint8_t, kFlashSize>(flash_, kFlashSize),
            std::span<uint8_t, kEepromSize>(eeprom_, kEepromSize)};
}

bool hasValidMemoryFiles(const std::filesystem::path& folder) {
    return isRegularOfSize(folder / "flash.bin", kFlashSize) &&
           isRegularOfSize(folder / "eeprom.bin", kEepromSize);
}

int countTesterFolders(const std::filesystem::path& dir) {
    int count = 0;
    std::error_code ec;
    while (std::filesystem::is_directory(dir / std::to_string(count + 1), ec)) ++count;
    return count;
}

std::optional<int> readAttachedFile(const std::filesystem::path& dir) {
    bool present = false;
    const auto text = readSmallFile(dir / "attached", present);
    if (!present) return std::nullopt;
    return text ? parseCount(*text) : -1;
}

std::optional<FaultPlan> readFaultFile(const std::filesystem::path& dir) {
    bool present = false;
    const auto text = readSmallFile(dir / "faults", present);
    if (!present) return FaultPlan{};
    if (!text) return std::nullopt;
    return parseFaultRules(*text);
}

int AttachedWatch::attached(int folderCount) {
    struct stat info {};
    const bool present = ::stat((dir_ / "attached").c_str(), &info) == 0;
    const int64_t modified = int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
    if (!known_ || present != present_ ||
        (present && (info.st_ino != inode_ || modified != modified_ || info.st_size != size_))) {
        known_ = true;
        present_ = present;
        inode_ = info.st_ino;
        modified_ = modified;
        size_ = info.st_size;
        const auto count = present ? readAttachedFile(dir_) : std::nullopt;
        count_ = count ? *count : -2;
    }
    if (count_ == -2) return folderCount;
    return count_ < 0 ? 0 : count_;
}

}  // namespace ksx4::sim
