#pragma once
// One long-lived worker thread that runs jobs one after another, in the
// order they were posted. For work bound to the thread that began it (a
// database connection belongs to the thread that opened it): every job of
// one worker runs on the same thread.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace ksx4 {

class SerialWorker {
  public:
    SerialWorker();
    // Runs the jobs still queued, then ends the thread.
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    // Queues job and returns at once. A job must not throw: whatever it
    // catches it hands back itself.
    void post(std::function<void()> job);
    // Queues job and waits until it has run; its exception is rethrown here.
    void run(const std::function<void()>& job);
    // Waits until every job posted so far has run.
    void waitIdle();

  private:
    void loop();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> jobs_;
    bool busy_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace ksx4
