#include "thread_wait.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace ksx4::test {
namespace {

// The state letter of /proc/self/task/ID/stat: after the command name in
// parentheses, which may hold spaces and parentheses of its own.
char stateOf(pid_t thread) {
    std::ifstream file("/proc/self/task/" + std::to_string(thread) + "/stat");
    std::stringstream text;
    text << file.rdbuf();
    const std::string stat = text.str();
    const size_t end = stat.rfind(')');
    return end == std::string::npos || end + 2 >= stat.size() ? '?' : stat[end + 2];
}

}  // namespace

pid_t kernelThreadId() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

bool waitUntilAsleepOrDone(const ThreadStep& step) {
    pid_t thread = 0;
    while ((thread = step.thread.load()) == 0) std::this_thread::yield();
    for (;;) {
        if (step.done.load()) return false;
        if (stateOf(thread) == 'S') return true;
        std::this_thread::yield();
    }
}

}  // namespace ksx4::test
