// The serial worker: every job on one thread of its own, in the order
// posted; run() waits and hands back the job's exception; the jobs still
// queued run before the worker ends.
#include "platform/serial_worker.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace ksx4 {
namespace {

TEST(SerialWorker, RunsEveryJobInOrderOnOneThreadOfItsOwn) {
    std::vector<int> order;
    std::vector<std::thread::id> threads;
    {
        SerialWorker worker;
        for (int job = 0; job < 20; ++job) {
            worker.post([&, job] {
                order.push_back(job);
                threads.push_back(std::this_thread::get_id());
            });
        }
        worker.run([&] { order.push_back(20); });
        EXPECT_EQ(order.size(), 21u);
        for (int job = 21; job < 30; ++job) worker.post([&, job] { order.push_back(job); });
    }  // the queued jobs run before the thread ends
    ASSERT_EQ(order.size(), 30u);
    for (int job = 0; job < 30; ++job) EXPECT_EQ(order[static_cast<std::size_t>(job)], job);
    for (const auto& id : threads) {
        EXPECT_EQ(id, threads.front());
        EXPECT_NE(id, std::this_thread::get_id());
    }
}

TEST(SerialWorker, RunHandsBackTheJobsExceptionAndKeepsWorking) {
    SerialWorker worker;
    EXPECT_THROW(worker.run([] { throw std::runtime_error("refused"); }), std::runtime_error);
    bool ran = false;
    worker.run([&ran] { ran = true; });
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace ksx4
