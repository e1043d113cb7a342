#include "generator.h"

#include "fault_plan.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

namespace ksx4::gpibsim {
namespace {

constexpr int kErr = 0x8000;
constexpr int kCmpl = 0x0100;
constexpr int kEdvr = 0;
constexpr int kEarg = 4;
constexpr int kEneb = 7;
constexpr int kMaxPrimaryAddress = 30;

Outcome done(int result, long count = 0) {
    return {result, {kCmpl, 0, count}};
}

Outcome failed(int result, int iberr, long count = 0) {
    return {result, {kErr, iberr, count}};
}

// Every call but ibdev returns the new ibsta.
Outcome asStatusResult(Outcome outcome) {
    outcome.result = outcome.status.ibsta;
    return outcome;
}

std::string folderFromEnvironment() {
    const char* dir = std::getenv("KSX4_SIM_DIR");
    return dir ? dir : "";
}

// An empty plan when the file is absent, nullopt when it is unreadable or
// malformed.
std::optional<FaultPlan> readFaultPlan(const std::string& folder) {
    if (folder.empty()) return FaultPlan{};
    const std::string path = folder + "/gpib-faults";
    std::ifstream file(path, std::ios::binary);
    if (!file) return access(path.c_str(), F_OK) == 0 ? std::nullopt : std::optional(FaultPlan{});
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    if (file.bad()) return std::nullopt;
    return parseFaultPlan(text);
}

}  // namespace

std::string logLine(const void* data, long count) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string line;
    line.reserve(static_cast<size_t>(count) + 1);
    for (long i = 0; i < count; ++i) {
        const unsigned char c = bytes[i];
        if (c < 0x20 || c == 0x7F || c == '\\') {
            line += "\\x";
            line += kHex[c >> 4];
            line += kHex[c & 0xF];
        } else {
            line += static_cast<char>(c);
        }
    }
    line += '\n';
    return line;
}

bool Generator::plannedFailure(Outcome& failure) {
    const std::string folder = folderFromEnvironment();
    if (folder != folder_) {
        folder_ = folder;
        calls_ = 0;
        open_.clear();
        nextDescriptor_ = kFirstDescriptor;
    }
    const uint64_t call = ++calls_;
    const auto plan = readFaultPlan(folder_);
    if (!plan) {
        // A plan that cannot be read or understood: no generator at all.
        failure = failed(-1, kEneb);
        return true;
    }
    const auto planned = plan->find(call);
    if (planned == plan->end()) return false;
    failure = failed(-1, planned->second);
    return true;
}

int Generator::appendToLog(const std::string& line) const {
    if (folder_.empty()) return 0;
    const std::string path = folder_ + "/generator.log";
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return errno;
    // One write per line: lines of processes sharing the folder never mix.
    const ssize_t written = ::write(fd, line.data(), line.size());
    const int error = written < 0 ? errno : written != static_cast<ssize_t>(line.size()) ? EIO : 0;
    return ::close(fd) != 0 && error == 0 ? errno : error;
}

Outcome Generator::ibdev(int board, int pad, int /*sad*/, int /*timo*/, int /*eot*/, int /*eos*/) {
    std::lock_guard lock(mutex_);
    if (Outcome failure; plannedFailure(failure)) return failure;
    if (board != 0) return failed(-1, kEneb);  // the bench has board 0 only
    if (pad < 0 || pad > kMaxPrimaryAddress) return failed(-1, kEarg);
    const int ud = nextDescriptor_++;
    open_.insert(ud);
    return done(ud);
}

Outcome Generator::ibclr(int ud) {
    std::lock_guard lock(mutex_);
    if (Outcome failure; plannedFailure(failure)) return asStatusResult(failure);
    if (!isOpen(ud)) return asStatusResult(failed(0, kEdvr, EINVAL));
    return asStatusResult(done(0));
}

Outcome Generator::ibwrt(int ud, const void* data, long count) {
    std::lock_guard lock(mutex_);
    if (Outcome failure; plannedFailure(failure)) return asStatusResult(failure);
    if (!isOpen(ud)) return asStatusResult(failed(0, kEdvr, EINVAL));
    if (count < 0 || (!data && count > 0)) return asStatusResult(failed(0, kEarg));
    if (const int error = appendToLog(logLine(data, count)); error != 0)
        return asStatusResult(failed(0, kEdvr, error));
    return asStatusResult(done(0, count));
}

Outcome Generator::ibonl(int ud, int online) {
    std::lock_guard lock(mutex_);
    if (Outcome failure; plannedFailure(failure)) return asStatusResult(failure);
    if (!isOpen(ud)) return asStatusResult(failed(0, kEdvr, EINVAL));
    if (online == 0) open_.erase(ud);
    return asStatusResult(done(0));
}

}  // namespace ksx4::gpibsim
