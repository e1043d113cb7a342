// chooseHexFile: what the open dialog is asked for, and what becomes of its
// answer.
#include "firmware/hex_file_choice.h"
#include "fake_program.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace ksx4::test {
namespace {

using Kind = FileChoice::Kind;

TEST(ChooseHexFile, AsksForAnExistingHexFileInTheProgramsFolder) {
    FakeProgram program;
    program.ui.openDialogs.push_back({false, "/fw/KSX4.HEX", {}});
    const FileChoice choice = chooseHexFile(program.state);
    EXPECT_EQ(choice.kind, Kind::Path);
    EXPECT_EQ(choice.path, "/fw/KSX4.HEX");
    ASSERT_EQ(program.ui.openRequests.size(), 1u);
    const FileDialogRequest& request = program.ui.openRequests.front();
    EXPECT_EQ(request.title, "Choose Hex File");
    EXPECT_EQ(request.filter, "HEX Files (*.HEX)|*.HEX");
    EXPECT_EQ(request.filterIndex, 1);
    EXPECT_EQ(request.startFolder, QCoreApplication::applicationDirPath());
    EXPECT_TRUE(request.mustExist);
    EXPECT_TRUE(request.proposedPath.isEmpty());
    EXPECT_TRUE(program.ui.messages.empty());
}

struct ChoiceCase {
    const char* name;
    FileDialogResult dialog;
    Kind kind;
    const char* message;  // nullptr: none
};

void PrintTo(const ChoiceCase& c, std::ostream* out) {
    *out << c.name;
}

class ChooseHexFileAnswers : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(ChooseHexFileAnswers, JudgeThePath) {
    const ChoiceCase& c = GetParam();
    FakeProgram program;
    program.ui.openDialogs.push_back(c.dialog);
    const FileChoice choice = chooseHexFile(program.state);
    EXPECT_EQ(choice.kind, c.kind);
    EXPECT_EQ(choice.path, c.kind == Kind::Path ? c.dialog.path : QString());
    if (c.message) {
        ASSERT_EQ(program.ui.messages.size(), 1u);
        EXPECT_EQ(program.ui.messages[0].text, c.message);
        EXPECT_EQ(program.ui.messages[0].buttons, Buttons::Ok);
        EXPECT_EQ(program.ui.messages[0].icon, Icon::None);
    } else {
        EXPECT_TRUE(program.ui.messages.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ChooseHexFileAnswers,
    ::testing::Values(
        ChoiceCase{"LowerCase", {false, "/fw/ksx4.hex", {}}, Kind::Path, nullptr},
        ChoiceCase{"MixedCase", {false, "/fw/Ksx4.Hex", {}}, Kind::Path, nullptr},
        ChoiceCase{
            "Bin", {false, "/fw/ksx4.bin", {}}, Kind::Unusable, "File extension is NOT .HEX"},
        ChoiceCase{
            "NoDot", {false, "/fw/ksx4hex", {}}, Kind::Unusable, "File extension is NOT .HEX"},
        // ".HEX" only has to appear somewhere in the upper-cased path.
        ChoiceCase{"BinInAFolderNamedHex", {false, "/fw/x.hex/ksx4.bin", {}}, Kind::Path, nullptr},
        ChoiceCase{"EmptyName", {false, "", {}}, Kind::Unusable, nullptr},
        ChoiceCase{"Cancelled", {true, "", {}}, Kind::Cancelled, nullptr},
        ChoiceCase{"DialogError",
                   {false, "", "Buffer too small"},
                   Kind::Unusable,
                   "Error: Buffer too small Dialog Error"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ksx4::test
