#include "ksx4ctl_run.h"

#include "ctl_command.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace ksx4::test {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

fs::path compareRoot() {
    const char* dir = std::getenv("KSX4_COMPARE_DIR");
    EXPECT_NE(dir, nullptr) << "KSX4_COMPARE_DIR is not set";
    return dir ? dir : "compare";
}

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int Ksx4ctlRun::run(const QStringList& arguments) {
    ::setenv("KSX4_ARCHIVE", "none", 1);  // the workbooks are compared, not the archive
    std::istringstream in;
    ctl::CtlContext context{
        in, out, err, clock, link, [this](std::chrono::milliseconds wait) {
                                clock.advance(wait); }};
    return ctl::runKsx4ctl(arguments, context);
}

sim::TesterImage comparedTester() {
    return sim::sampleTester({.reports = 8, .devices = 32});
}

fs::path compareDir(const char* side) {
    const fs::path folder = compareRoot() / side;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

void expectTransferOfEightWorkbooks(const char* side) {
    const fs::path folder = compareDir(side);
    Ksx4ctlRun ctl;
    EXPECT_EQ(ctl.run({"transfer", "--folder", QString::fromStdString(folder.string())}),
              ctl::kExitDone);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 8)
        << ctl.err.str();
    EXPECT_THAT(ctl.out.str(), HasSubstr("Transferred all reports.  Ready..."));
}

void expectRefusedTransfer(const std::string& reason) {
    QTemporaryDir folder;
    Ksx4ctlRun ctl;
    EXPECT_EQ(ctl.run({"transfer", "--folder", folder.path(), "--verbose"}), ctl::kExitFailed);
    const std::string err = ctl.err.str();
    EXPECT_THAT(err, HasSubstr("Unable to Open KSX-4. Return Value: 8"));
    EXPECT_THAT(err, HasSubstr("\nksx4ctl: USB access library: "));
    EXPECT_THAT(err, HasSubstr("/usb/libmpusbapi.so\n"));
    EXPECT_THAT(err, HasSubstr("\nksx4ctl: last failed open of the tester: bus 1 device 2 "
                               "(04d8:ffca): " +
                               reason + "\n"));
}

void expectSameWorkbooks(const char* side, const char* otherSide) {
    const fs::path one = compareRoot() / side;
    const fs::path other = compareRoot() / otherSide;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(one))
        names.push_back(entry.path().filename().string());
    ASSERT_EQ(names.size(), 8u);
    for (const auto& name : names) {
        ASSERT_TRUE(fs::exists(other / name)) << name;
        EXPECT_TRUE(contents(one / name) == contents(other / name)) << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(other), fs::directory_iterator()), 8);
}

}  // namespace ksx4::test
