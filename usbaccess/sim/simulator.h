#pragma once
// The simulated testers of one process: the state folder named by
// KSX4_SIM_DIR, open pipe handles, the exchange count that fault rules refer
// to, and testers unplugged by a fault.
#include "fault_rules.h"
#include "latency.h"
#include "state_folder.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace ksx4::sim {

// The outcome of an entry point: its result and the errno it leaves.
struct Outcome {
    uint32_t result = 0;
    int error = 0;
};

class Simulator {
  public:
    // The tester start when the simulator loads: erase-at-start for every
    // attached tester.
    void startAttachedTesters();

    uint32_t deviceCount(const char* selection);
    void* open(uint32_t instance, const char* selection, const char* endpoint, uint32_t direction);
    Outcome write(void* handle, const void* data, uint32_t length, uint32_t* sent);
    Outcome read(void* handle, void* data, uint32_t length, uint32_t* received);
    Outcome close(void* handle);

  private:
    struct Tester;
    struct Handle;
    struct Scan {
        std::filesystem::path dir;
        std::vector<int> attached;  // tester folder numbers, in instance order
    };

    Scan scanStateFolder();
    std::shared_ptr<Tester> testerFor(const std::filesystem::path& dir, int index);
    bool detached(const Tester& tester);
    Handle* find(void* handle);

    std::mutex mutex_;
    uint64_t exchanges_ = 0;
    FaultPlan faults_;
    std::set<std::string> unplugged_;
    std::map<std::string, std::weak_ptr<Tester>> testers_;
    std::unordered_set<Handle*> handles_;
    std::map<std::string, AttachedWatch> watches_;
    std::map<std::string, int> folderCounts_;
    Latency latency_;
};

// Selection "vid_04d8&pid_ffca" and endpoint "\MCHP_EP1", case-insensitive.
bool isTesterSelection(const char* selection);
bool isTesterEndpoint(const char* endpoint);

}  // namespace ksx4::sim
