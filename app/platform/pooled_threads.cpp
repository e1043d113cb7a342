#include "platform/pooled_threads.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace ksx4 {
namespace {

// The name Qt gives the system thread of every pool thread.
constexpr const char* kPooledThreadName = "Thread (pooled)";
constexpr std::chrono::seconds kJoinAtApplicationEnd{2};

void joinAtApplicationEnd() {
    joinPooledThreads(kJoinAtApplicationEnd);
}

}  // namespace

int runningPooledThreads() {
    int running = 0;
#ifdef __linux__
    namespace fs = std::filesystem;
    std::error_code error;
    for (fs::directory_iterator task("/proc/self/task", error), end; !error && task != end;
         task.increment(error)) {
        // A thread that ends meanwhile has no name left to read.
        std::ifstream comm(task->path() / "comm");
        std::string name;
        if (std::getline(comm, name) && name == kPooledThreadName) ++running;
    }
#endif
    return running;
}

bool joinPooledThreads(std::chrono::milliseconds timeout, const std::function<int()>& running) {
    // Null once the application is closing down: then Qt has stopped it.
    if (QThreadPool* pool = QThreadPool::globalInstance()) pool->waitForDone();
    // The pool has deleted its threads; their system threads are ending. A
    // detached thread cannot be joined, so watch it go.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running() > 0) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void joinPooledThreadsWhenTheApplicationEnds() {
    // Post routines run first in the application's destructor, while the
    // pool still answers; Qt stops the pool only after them.
    qAddPostRoutine(joinAtApplicationEnd);
}

}  // namespace ksx4
