#include "simulator.h"

#include "mpusbapi.h"

#include <strings.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace ksx4::sim {

struct Simulator::Tester {
    std::filesystem::path dir;
    int index = 0;
    std::string key;
    std::unique_ptr<MappedTester> memory;
    Reply pending;              // the reply waiting on the IN pipe
    uint8_t pendingFaults = 0;  // faults of the exchange that produced it
};

struct Simulator::Handle {
    std::shared_ptr<Tester> tester;
    uint32_t direction = 0;
};

namespace {

std::filesystem::path stateDirFromEnvironment() {
    const char* dir = std::getenv("KSX4_SIM_DIR");
    return dir ? std::filesystem::path(dir) : std::filesystem::path();
}

std::string testerKey(const std::filesystem::path& dir, int index) {
    return (dir / std::to_string(index)).lexically_normal().string();
}

}  // namespace

bool isTesterSelection(const char* selection) {
    return selection && strcasecmp(selection, "vid_04d8&pid_ffca") == 0;
}

bool isTesterEndpoint(const char* endpoint) {
    return endpoint && strcasecmp(endpoint, "\\MCHP_EP1") == 0;
}

void Simulator::startAttachedTesters() {
    std::lock_guard lock(mutex_);
    // Only testers the host could see start: a damaged state or a malformed
    // fault plan means no tester at all, and then nothing is erased either.
    const Scan scan = scanStateFolder();
    for (const int index : scan.attached)
        if (auto memory = MappedTester::open(scan.dir / std::to_string(index)))
            startTester(memory->memories());
}

Simulator::Scan Simulator::scanStateFolder() {
    Scan scan{stateDirFromEnvironment(), {}};
    latency_.setMicroseconds(latencyFromEnvironment());
    if (scan.dir.empty()) return scan;
    const auto faults = readFaultFile(scan.dir);
    if (!faults) return scan;  // a malformed plan: no tester at all
    faults_ = *faults;
    const int folders = countTesterFolders(scan.dir);
    folderCounts_[scan.dir.string()] = folders;
    const int attached = readAttachedFile(scan.dir).value_or(folders);
    for (int index = 1; index <= std::min(attached, folders); ++index) {
        if (!hasValidMemoryFiles(scan.dir / std::to_string(index))) {
            scan.attached.clear();  // a damaged state is no tester, and stays untouched
            return scan;
        }
        if (!unplugged_.contains(testerKey(scan.dir, index))) scan.attached.push_back(index);
    }
    return scan;
}

uint32_t Simulator::deviceCount(const char* selection) {
    if (!isTesterSelection(selection)) return 0;
    std::lock_guard lock(mutex_);
    return static_cast<uint32_t>(scanStateFolder().attached.size());
}

std::shared_ptr<Simulator::Tester> Simulator::testerFor(const std::filesystem::path& dir,
                                                        int index) {
    const auto key = testerKey(dir, index);
    if (auto existing = testers_[key].lock()) return existing;
    auto memory = MappedTester::open(dir / std::to_string(index));
    if (!memory) return nullptr;
    auto tester = std::make_shared<Tester>();
    tester->dir = dir;
    tester->index = index;
    tester->key = key;
    tester->memory = std::move(memory);
    testers_[key] = tester;
    return tester;
}

void* Simulator::open(uint32_t instance, const char* selection, const char* endpoint,
                      uint32_t direction) {
    if (!isTesterSelection(selection) || !isTesterEndpoint(endpoint) ||
        direction > MPUSB_DIRECTION_READ)
        return MPUSB_INVALID_HANDLE;
    std::lock_guard lock(mutex_);
    const Scan scan = scanStateFolder();
    if (instance >= scan.attached.size()) return MPUSB_INVALID_HANDLE;
    auto tester = testerFor(scan.dir, scan.attached[instance]);
    if (!tester) return MPUSB_INVALID_HANDLE;
    auto* handle = new Handle{std::move(tester), direction};
    handles_.insert(handle);
    return handle;
}

Simulator::Handle* Simulator::find(void* handle) {
    auto* candidate = static_cast<Handle*>(handle);
    return handles_.contains(candidate) ? candidate : nullptr;
}

bool Simulator::detached(const Tester& tester) {
    if (unplugged_.contains(tester.key)) return true;
    const auto dirKey = tester.dir.string();
    auto watch = watches_.try_emplace(dirKey, tester.dir).first;
    return tester.index > watch->second.attached(folderCounts_[dirKey]);
}

Outcome Simulator::write(void* handle, const void* data, uint32_t length, uint32_t* sent) {
    std::lock_guard lock(mutex_);
    if (sent) *sent = 0;
    Handle* h = find(handle);
    if (!h) return {0, MPUSB_ERROR_INVALID_HANDLE};
    if (h->direction != MPUSB_DIRECTION_WRITE || (!data && length > 0)) return {0, EINVAL};
    Tester& tester = *h->tester;
    const auto planned = faults_.find(++exchanges_);
    const uint8_t faults = planned == faults_.end() ? 0 : planned->second;
    tester.pending = Reply{};
    if (faults & kUnplug) unplugged_.insert(tester.key);
    if (detached(tester)) return {0, MPUSB_ERROR_INVALID_HANDLE};
    if (faults & kWriteTimeout) return {0, ETIMEDOUT};

    latency_.exchangeStarted();
    const auto memories = tester.memory->memories();
    tester.pending = answerPacket(memories, {static_cast<const uint8_t*>(data), length});
    tester.pendingFaults = faults;
    if (tester.pending.restart) startTester(memories);
    if (sent) *sent = length;
    return {1, 0};
}

Outcome Simulator::read(void* handle, void* data, uint32_t length, uint32_t* received) {
    std::lock_guard lock(mutex_);
    if (received) *received = 0;
    Handle* h = find(handle);
    if (!h) return {0, MPUSB_ERROR_INVALID_HANDLE};
    if (h->direction != MPUSB_DIRECTION_READ || (!data && length > 0)) return {0, EINVAL};
    Tester& tester = *h->tester;
    // The attached count was looked at by this exchange's write; a read only
    // checks for an unplug fault, which keeps the exchange cheap.
    if (unplugged_.contains(tester.key)) return {0, MPUSB_ERROR_INVALID_HANDLE};
    const Reply reply = tester.pending;
    const uint8_t faults = tester.pendingFaults;
    tester.pending = Reply{};
    if (!reply.answered || (faults & kReadTimeout)) return {0, ETIMEDOUT};

    latency_.awaitReply();
    size_t size = std::min<size_t>(reply.size, length);
    if (size > 0) std::memcpy(data, reply.bytes.data(), size);
    auto* bytes = static_cast<uint8_t*>(data);
    // A one-byte reply has no byte 1; its echo byte 0 is altered instead.
    if ((faults & kBadEcho) && size > 0) bytes[size > 1 ? 1 : 0] ^= 0xFF;
    if ((faults & kShortReply) && size > 0) --size;
    if (received) *received = static_cast<uint32_t>(size);
    return {1, 0};
}

Outcome Simulator::close(void* handle) {
    std::lock_guard lock(mutex_);
    Handle* h = find(handle);
    if (!h) return {0, MPUSB_ERROR_INVALID_HANDLE};
    handles_.erase(h);
    delete h;
    return {1, 0};
}

}  // namespace ksx4::sim
