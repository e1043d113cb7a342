// One operation at a time, and how an operation's end reaches the window.
#include "core/operation_runner.h"
#include "core/end_program.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <stdexcept>

namespace ksx4 {
namespace {

struct RunnerProbe {
    std::vector<bool> running;
    int endCalls = 0;
    QStringList errors;
    OperationRunner runner{{[this](bool r) { running.push_back(r); }, [this] { ++endCalls; },
                            [this](const QString& e) { errors.append(e); }}};
};

TEST(OperationRunner, SecondOperationIsRefusedWhileOneRuns) {
    RunnerProbe probe;
    bool innerStarted = false;
    bool innerAccepted = true;
    EXPECT_TRUE(probe.runner.run([&] {
        // A click that arrives while this operation waits in a pause.
        innerAccepted = probe.runner.run([&] { innerStarted = true; });
    }));
    EXPECT_FALSE(innerAccepted);
    EXPECT_FALSE(innerStarted);
    EXPECT_EQ(probe.running, (std::vector<bool>{true, false}));
    EXPECT_TRUE(probe.runner.run([] {}));  // free again afterwards
}

TEST(OperationRunner, EndProgramEndsOnceAndStartsNothingMore) {
    RunnerProbe probe;
    probe.runner.run([] { throw EndProgram{}; });
    EXPECT_EQ(probe.endCalls, 1);
    EXPECT_TRUE(probe.runner.programEnded());
    EXPECT_EQ(probe.running, std::vector<bool>{true});  // controls stay disabled
    bool started = false;
    EXPECT_FALSE(probe.runner.run([&] { started = true; }));
    EXPECT_FALSE(started);
}

TEST(OperationRunner, UncaughtErrorIsShownAndTheProgramGoesOn) {
    RunnerProbe probe;
    probe.runner.run([] { throw std::runtime_error("disk full"); });
    EXPECT_EQ(probe.errors, QStringList{"disk full"});
    EXPECT_EQ(probe.endCalls, 0);
    EXPECT_FALSE(probe.runner.isRunning());
}

}  // namespace
}  // namespace ksx4
