// Start-up against a fake tester: discovery messages, status texts, cancel
// and retry, and a link library that cannot be loaded.
#include "core/connection.h"
#include "core/end_program.h"
#include "core/main_window_form.h"
#include "fake_program.h"

#include <gtest/gtest.h>

namespace ksx4 {
namespace {

using test::FakeProgram;

struct RecordingWindow : MainWindowForm {
    std::vector<std::string> calls;
    void hideEngineeringEntries() override { calls.push_back("hide"); }
    void showMainWindow() override { calls.push_back("show"); }
};

TEST(StartProgram, OneTesterIsFoundThenReady) {
    FakeProgram p;
    RecordingWindow window;
    startProgram(p.state, window);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"hide", "show"}));
    EXPECT_EQ(p.tester.closeCalls, 2);
    EXPECT_EQ(p.ui.statusHistory, (std::vector<QString>{"Found KSX-4", "Ready"}));
    EXPECT_TRUE(p.ui.messages.empty());
    EXPECT_TRUE(p.ui.list.isEmpty());  // start-up polls without listing
}

struct DiscoveryCase {
    int attached;
    QString status;
    QString message;
};

const DiscoveryCase kDiscoveryCases[] = {
    {0, "KSX-4 not found", "Connect KSX-4 to the PC USB port"},
    {2, "Found more than one KSX-4", "Only connect one KSX-4 at a time"},
};

TEST(StartProgram, CancelEndsTheProgram) {
    for (const auto& c : kDiscoveryCases) {
        FakeProgram p;
        RecordingWindow window;
        p.tester.attached = c.attached;
        p.ui.answers = {Answer::Cancel};
        EXPECT_THROW(startProgram(p.state, window), EndProgram);
        EXPECT_EQ(p.tester.deviceCountCalls, 2001);
        ASSERT_EQ(p.ui.messages.size(), 1u);
        EXPECT_EQ(p.ui.messages[0].text, c.message);
        EXPECT_EQ(p.ui.messages[0].buttons, Buttons::OkCancel);
        EXPECT_EQ(p.ui.messages[0].icon, Icon::Critical);
        EXPECT_EQ(p.ui.statusHistory, (std::vector<QString>{c.status, "Exiting"}));
    }
}

TEST(StartProgram, OkSearchesAgainUntilOneTesterAnswers) {
    for (const auto& c : kDiscoveryCases) {
        FakeProgram p;
        RecordingWindow window;
        p.tester.attached = c.attached;
        int shown = 0;
        p.ui.onMessage = [&](const test::ShownMessage&) {
            if (++shown == 2) p.tester.attached = 1;  // plugged in at the second message
        };
        startProgram(p.state, window);
        EXPECT_EQ(shown, 2);
        EXPECT_EQ(p.ui.statusHistory,
                  (std::vector<QString>{c.status, c.status, "Found KSX-4", "Ready"}));
    }
}

TEST(StartProgram, MissingLinkLibraryShowsTheLoaderErrorAndNeverShowsTheWindow) {
    test::VirtualClock clock;
    test::ScriptedOperator ui(clock);
    LinkLibrary link("/nonexistent/folder/libksx4_com.so");
    ProgramState state(ui, clock, link);
    RecordingWindow window;
    EXPECT_THROW(startProgram(state, window), EndProgram);
    EXPECT_EQ(window.calls, std::vector<std::string>{"hide"});
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].text.contains("libksx4_com.so"))
        << ui.messages[0].text.toStdString();
    EXPECT_EQ(ui.messages[0].buttons, Buttons::Ok);
}

}  // namespace
}  // namespace ksx4
