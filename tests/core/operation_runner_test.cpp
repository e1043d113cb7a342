// One operation at a time across every window, and how an operation's end
// (or the user's Exit) reaches the program.
#include "core/operation_runner.h"
#include "core/end_program.h"
#include "core/pause.h"
#include "fake_program.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

namespace ksx4 {
namespace {

using test::FakeProgram;

// A window as the runner sees it: controls that start operations, and
// the history of their enabled state.
struct FakeForm {
    FakeForm(OperationRunner& runner, ProgramState& state) : runner(runner), state(state) {
        runner.addControls([this](bool on) { enabled.push_back(on); });
    }
    // A click on one of the form's buttons.
    bool click(const std::function<void(ProgramState&)>& handler) {
        return runner.run([&] { handler(state); });
    }
    OperationRunner& runner;
    ProgramState& state;
    std::vector<bool> enabled;
};

struct RunnerTest : ::testing::Test {
    FakeProgram program;
    int endCalls = 0;
    OperationRunner runner{program.ui, [this] { ++endCalls; }};
    FakeForm mainWindow{runner, program.state};
    FakeForm limitsEditor{runner, program.state};
};

TEST_F(RunnerTest, AnOperationFromASecondWindowIsRefusedWhileOneRuns) {
    bool innerStarted = false;
    bool innerAccepted = true;
    std::vector<bool> editorEnabledDuringRun;
    program.ui.onEvents = [&] {
        // A click in the editor that arrives while the transfer waits.
        editorEnabledDuringRun = limitsEditor.enabled;
        innerAccepted = limitsEditor.click([&](ProgramState&) { innerStarted = true; });
    };
    EXPECT_TRUE(mainWindow.click([](ProgramState& s) { pauseMs(s, 10); }));
    EXPECT_FALSE(innerAccepted);
    EXPECT_FALSE(innerStarted);
    EXPECT_EQ(editorEnabledDuringRun, std::vector<bool>{false});
    for (const FakeForm* form : {&mainWindow, &limitsEditor}) {
        EXPECT_EQ(form->enabled, (std::vector<bool>{false, true}));
    }
    program.ui.onEvents = nullptr;
    EXPECT_TRUE(limitsEditor.click([](ProgramState&) {}));  // free again afterwards
}

TEST_F(RunnerTest, ExitDuringAnOperationEndsItAtItsNextPause) {
    bool exitAtOnce = true;
    bool finished = false;
    program.ui.onEvents = [&] { exitAtOnce = runner.requestExit(); };
    mainWindow.click([&](ProgramState& s) {
        pauseMs(s, 600000);
        finished = true;
    });
    EXPECT_FALSE(exitAtOnce);
    EXPECT_FALSE(finished);
    EXPECT_EQ(program.ui.eventRounds, 1);  // unwound at the first pause
    EXPECT_EQ(endCalls, 1);
    EXPECT_TRUE(runner.programEnded());
    EXPECT_EQ(limitsEditor.enabled, std::vector<bool>{false});  // nothing starts any more
}

TEST_F(RunnerTest, ExitWhileIdleEndsAtOnce) {
    EXPECT_TRUE(runner.requestExit());
    EXPECT_FALSE(mainWindow.click([](ProgramState&) {}));
}

TEST_F(RunnerTest, EndProgramEndsOnceAndStartsNothingMore) {
    mainWindow.click([](ProgramState&) { throw EndProgram{}; });
    EXPECT_EQ(endCalls, 1);
    EXPECT_TRUE(runner.programEnded());
    EXPECT_EQ(mainWindow.enabled, std::vector<bool>{false});  // controls stay disabled
    bool started = false;
    EXPECT_FALSE(limitsEditor.click([&](ProgramState&) { started = true; }));
    EXPECT_FALSE(started);
    // A window made after the end starts disabled.
    FakeForm late(runner, program.state);
    EXPECT_EQ(late.enabled, std::vector<bool>{false});
}

TEST_F(RunnerTest, UncaughtErrorIsShownAndTheProgramGoesOn) {
    mainWindow.click([](ProgramState&) { throw std::runtime_error("disk full"); });
    EXPECT_EQ(program.ui.messageTexts(), QStringList{"disk full"});
    EXPECT_EQ(endCalls, 0);
    EXPECT_FALSE(runner.isRunning());
    EXPECT_EQ(mainWindow.enabled, (std::vector<bool>{false, true}));
}

}  // namespace
}  // namespace ksx4
