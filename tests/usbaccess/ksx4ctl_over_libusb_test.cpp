// ksx4ctl in-process, on a virtual clock, over the real link library and the
// real libusb access library, with the scripted libusb below them: a whole
// transfer, compared byte for byte with the same transfer from the
// simulator, and what a technician sees when the tester cannot be opened.
//
// The comparison runs as three tests: the transfer over the simulator and
// the one over libusb need processes of their own (each binds its own
// libmpusbapi.so), and a third compares the two folders they fill
// (KSX4_COMPARE_DIR).
#include "ctl_command.h"
#include "platform/link_library.h"
#include "scripted_libusb.h"
#include "scripted_operator.h"
#include "tester_image.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace ksx4::test {
namespace {

namespace fs = std::filesystem;
namespace bus = scripted_libusb;
using ::testing::HasSubstr;

// The tester both transfers read: eight reports, 32 devices, varied names.
sim::TesterImage comparedTester() {
    return sim::sampleTester({.reports = 8, .devices = 32});
}

class Ksx4ctlRun {
  public:
    int run(const QStringList& arguments) {
        ::setenv("KSX4_ARCHIVE", "none", 1);  // the workbooks are compared, not the archive
        std::istringstream in;
        ctl::CtlContext context{
            in,    out,  err,
            clock, link, [this](std::chrono::milliseconds wait) {
                                    clock.advance(wait); }};
        return ctl::runKsx4ctl(arguments, context);
    }

    VirtualClock clock;
    LinkLibrary link;
    std::ostringstream out, err;
};

fs::path compareDir(const char* side) {
    const char* dir = std::getenv("KSX4_COMPARE_DIR");
    EXPECT_NE(dir, nullptr) << "KSX4_COMPARE_DIR is not set";
    const fs::path folder = fs::path(dir ? dir : "compare") / side;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

void expectEightWorkbooks(const fs::path& folder, const Ksx4ctlRun& ctl) {
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 8)
        << ctl.err.str();
    EXPECT_THAT(ctl.out.str(), HasSubstr("Transferred all reports.  Ready..."));
}

TEST(TransferCompare, OverTheSimulator) {
    QTemporaryDir simDir;
    ASSERT_TRUE(sim::writeTester(simDir.path().toStdString(), 1, comparedTester()));
    ::setenv("KSX4_SIM_DIR", simDir.path().toLocal8Bit().constData(), 1);
    const fs::path folder = compareDir("simulator");

    Ksx4ctlRun ctl;
    EXPECT_EQ(ctl.run({"transfer", "--folder", QString::fromStdString(folder.string())}),
              ctl::kExitDone);
    expectEightWorkbooks(folder, ctl);
}

TEST(TransferCompare, OverLibusb) {
    bus::reset();
    const bus::DeviceId tester = bus::plugIn(bus::testerDevice(comparedTester()));
    const fs::path folder = compareDir("libusb");

    Ksx4ctlRun ctl;
    EXPECT_EQ(ctl.run({"transfer", "--folder", QString::fromStdString(folder.string())}),
              ctl::kExitDone);
    expectEightWorkbooks(folder, ctl);
    const auto& eeprom = bus::tester(tester).eeprom;
    EXPECT_EQ(eeprom[114] << 8 | eeprom[115], 0x5555) << "the erase request reached the tester";
}

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(TransferCompare, BothTransfersWroteTheSameWorkbooks) {
    const char* dir = std::getenv("KSX4_COMPARE_DIR");
    ASSERT_NE(dir, nullptr);
    const fs::path simulator = fs::path(dir) / "simulator";
    const fs::path libusb = fs::path(dir) / "libusb";
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(simulator))
        names.push_back(entry.path().filename().string());
    ASSERT_EQ(names.size(), 8u);
    for (const auto& name : names) {
        ASSERT_TRUE(fs::exists(libusb / name)) << name;
        EXPECT_TRUE(contents(simulator / name) == contents(libusb / name)) << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(libusb), fs::directory_iterator()), 8);
}

// Without the udev rule the open is refused with LIBUSB_ERROR_ACCESS; a
// program holding the tester makes the claim fail with LIBUSB_ERROR_BUSY.
// The message stays the program's; --verbose names the access library and
// the cause.
struct OpenRefusal {
    const char* name;
    bus::Step step;
    int error;
    const char* reason;
};

void PrintTo(const OpenRefusal& c, std::ostream* os) {
    *os << c.name;
}

class OpenRefusedTest : public ::testing::TestWithParam<OpenRefusal> {};

TEST_P(OpenRefusedTest, VerboseNamesTheLibraryAndTheCause) {
    const OpenRefusal& c = GetParam();
    bus::reset();
    const bus::DeviceId tester = bus::plugIn(bus::testerDevice(comparedTester()));
    bus::refuse(tester, c.step, c.error);
    QTemporaryDir out;

    Ksx4ctlRun ctl;
    EXPECT_EQ(ctl.run({"transfer", "--folder", out.path(), "--verbose"}), ctl::kExitFailed);

    const std::string err = ctl.err.str();
    EXPECT_THAT(err, HasSubstr("Unable to Open KSX-4. Return Value: 8"));
    EXPECT_THAT(err, HasSubstr("\nksx4ctl: USB access library: "));
    EXPECT_THAT(err, HasSubstr("/usb/libmpusbapi.so\n"));
    EXPECT_THAT(err, HasSubstr(std::string("\nksx4ctl: last failed open of the tester: bus 1 "
                                           "device 2 (04d8:ffca): ") +
                               c.reason + "\n"));
    EXPECT_EQ(bus::counters().openHandles, 0) << "a refused open leaves no handle open";
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, OpenRefusedTest,
    ::testing::Values(
        OpenRefusal{"OpenWithoutTheUdevRule", bus::Step::Open, LIBUSB_ERROR_ACCESS,
                    "libusb_open: LIBUSB_ERROR_ACCESS (Access denied (insufficient permissions))"},
        OpenRefusal{"ClaimedByAnotherProgram", bus::Step::Claim, LIBUSB_ERROR_BUSY,
                    "libusb_claim_interface(0): LIBUSB_ERROR_BUSY (Resource busy)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Verbose, SaysWhenNoOpenFailed) {
    bus::reset();
    bus::plugIn(bus::testerDevice(comparedTester()));
    Ksx4ctlRun ctl;
    EXPECT_EQ(ctl.run({"limits", "--verbose"}), ctl::kExitDone);
    EXPECT_THAT(ctl.err.str(), HasSubstr("ksx4ctl: last failed open of the tester: none\n"));
}

}  // namespace
}  // namespace ksx4::test
