// The noise test with a recording GPIB stand-in: the generator commands and
// prompts in the bands' order, the fifteen questions, pass, fail and cancel.
#include "engineering/noise_test.h"
#include "core/end_program.h"
#include "fake_gpib.h"
#include "fake_program.h"
#include "procedure_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ksx4::test {
namespace {

using ::testing::ElementsAre;

const QString kTestTitle = QStringLiteral("KSX-4 Noise Test");

class NoiseTestTest : public ::testing::Test {
  protected:
    Outcome runTest() { return mnuManTest_Click(program.state, window, gpib); }

    std::vector<ShownMessage> questions() const {
        std::vector<ShownMessage> found;
        for (const ShownMessage& shown : program.ui.messages) {
            if (shown.buttons == Buttons::YesNoCancel) found.push_back(shown);
        }
        return found;
    }
    QStringList otherMessages() const {
        QStringList texts;
        for (const ShownMessage& shown : program.ui.messages) {
            if (shown.buttons != Buttons::YesNoCancel) texts.append(shown.text);
        }
        return texts;
    }

    FakeProgram program;
    ScriptedOperator& ui = program.ui;
    FakeGpib gpib;
    RecordingWindow window;
    AnswerBook book{ui};
};

TEST_F(NoiseTestTest, AllYesPassesAfterTheWholeSequence) {
    EXPECT_EQ(runTest(), Outcome::Done);

    EXPECT_EQ(gpib.written, noiseTestCommands());
    EXPECT_EQ(
        otherMessages(),
        (QStringList{"Disconnect KSX-4 from USB (if connected) and connect to fieldbus (if not "
                     "already connected).",
                     "Push KSX-4 FUNC button to get to PK FF NOISE screen (if not already "
                     "displayed), then select OK",
                     "Push SEL button on KSX-4 until PK FF NOISE number resets (takes at least 3 "
                     "seconds), then select OK",
                     "Push KSX-4 SEL button briefly to get to PK LF NOISE screen, then select OK",
                     "Push SEL button on KSX-4 until PK LF NOISE number resets (takes at least 3 "
                     "seconds), then select OK",
                     "Push KSX-4 SEL button briefly to get to PK HF NOISE screen, then select OK",
                     "Push SEL button on KSX-4 until PK HF NOISE number resets (takes at least 3 "
                     "seconds), then select OK",
                     "KSX-4 noise test passed"}));
    const auto asked = questions();
    ASSERT_EQ(asked.size(), 15u);
    EXPECT_EQ(asked[0].text,
              "If PK FF NOISE shown on KSX-4 is:\r\n\r\nMore than: 0\r\nLess than: 20\r\n\r\n"
              "Select YES, if not select NO.");
    EXPECT_EQ(asked[8].text,
              "If PK LF NOISE shown on KSX-4 is:\r\n\r\nMore than: 475\r\nLess than: 525\r\n\r\n"
              "Select YES, if not select NO.");
    EXPECT_TRUE(asked[14].text.startsWith(
        "If PK HF NOISE shown on KSX-4 is:\r\n\r\nMore than: 950\r\nLess than: 1050\r\n"));
    for (const ShownMessage& shown : ui.messages) {
        const bool result = shown.text == "KSX-4 noise test passed";
        EXPECT_EQ(shown.title, result ? kProgramTitle : kTestTitle) << shown.text.toStdString();
        EXPECT_EQ(shown.icon, Icon::None);
    }
    EXPECT_EQ(ui.status(), "KSX-4 noise test passed");
    EXPECT_THAT(window.transferAndFirmware, ElementsAre(false, true));
    EXPECT_EQ(program.tester.openCalls, 0);  // no USB connection at all
}

TEST_F(NoiseTestTest, ASingleNoFailsYetEveryStepStillRuns) {
    book.answer("If PK LF NOISE", Answer::No);
    EXPECT_EQ(runTest(), Outcome::Failed);
    EXPECT_EQ(questions().size(), 15u);
    EXPECT_EQ(gpib.written, noiseTestCommands());
    EXPECT_EQ(ui.messages.back().text, "KSX-4 noise test failed");
    EXPECT_EQ(ui.status(), "KSX-4 noise test failed");
    EXPECT_THAT(window.transferAndFirmware, ElementsAre(false, true));
}

TEST_F(NoiseTestTest, CancelAtTheFirstPromptEndsTheProgram) {
    book.answer("Push KSX-4 FUNC button", Answer::Cancel);
    EXPECT_THROW(runTest(), EndProgram);
    const ShownMessage& last = ui.messages.back();
    EXPECT_EQ(last.text, "Calibration test problem\r\n\r\n\r\n\r\nExiting Program");
    EXPECT_EQ(last.icon, Icon::Critical);
    EXPECT_EQ(last.title, kProgramTitle);
    EXPECT_TRUE(questions().empty());
}

TEST_F(NoiseTestTest, CancelAtAQuestionEndsTheProgram) {
    book.answer("If PK HF NOISE", Answer::Cancel);
    EXPECT_THROW(runTest(), EndProgram);
    EXPECT_EQ(questions().size(), 11u);
    EXPECT_EQ(ui.messages.back().text, "Calibration test problem\r\n\r\n\r\n\r\nExiting Program");
}

}  // namespace
}  // namespace ksx4::test
