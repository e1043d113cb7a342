#pragma once
// The simulator's state folder (KSX4_SIM_DIR): tester subfolders 1, 2, ...
// with flash.bin and eeprom.bin, the optional `attached` count and the
// optional `faults` plan. Files of the wrong size are never touched.
#include "fault_rules.h"
#include "tester_protocol.h"

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace ksx4::sim {

// Both memory files of one tester, mapped shared: every write reaches the
// files at once and other processes see it.
class MappedTester {
  public:
    // nullptr when a file is missing, not a regular file or of the wrong size.
    static std::unique_ptr<MappedTester> open(const std::filesystem::path& folder);
    ~MappedTester();
    MappedTester(const MappedTester&) = delete;
    MappedTester& operator=(const MappedTester&) = delete;

    TesterMemories memories() const;

  private:
    MappedTester(uint8_t* flash, uint8_t* eeprom) : flash_(flash), eeprom_(eeprom) {}
    uint8_t* flash_;
    uint8_t* eeprom_;
};

// True when both memory files exist as regular files of the right size.
bool hasValidMemoryFiles(const std::filesystem::path& folder);

// Number of tester folders 1, 2, ... without a gap.
int countTesterFolders(const std::filesystem::path& dir);

// The attached count from DIR/attached: nullopt when the file is absent,
// -1 when its text is not a decimal count.
std::optional<int> readAttachedFile(const std::filesystem::path& dir);

// The fault plan from DIR/faults: an empty plan when the file is absent,
// nullopt when it is malformed or unreadable.
std::optional<FaultPlan> readFaultFile(const std::filesystem::path& dir);

// Watches DIR/attached cheaply (one stat) so that every exchange can tell
// whether its tester was unplugged by lowering the count.
class AttachedWatch {
  public:
    explicit AttachedWatch(std::filesystem::path dir) : dir_(std::move(dir)) {}
    // The attached count; folderCount stands in when the file is absent.
    int attached(int folderCount);

  private:
    std::filesystem::path dir_;
    bool known_ = false;
    bool present_ = false;
    ino_t inode_ = 0;
    int64_t modified_ = 0;
    off_t size_ = 0;
    int count_ = 0;
};

}  // namespace ksx4::sim
