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
#include "ksx4ctl_run.h"
#include "scripted_libusb.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

namespace ksx4::test {
namespace {

namespace bus = scripted_libusb;
using ::testing::HasSubstr;

TEST(TransferCompare, OverTheSimulator) {
    QTemporaryDir simDir;
    ASSERT_TRUE(sim::writeTester(simDir.path().toStdString(), 1, comparedTester()));
    ::setenv("KSX4_SIM_DIR", simDir.path().toLocal8Bit().constData(), 1);
    expectTransferOfEightWorkbooks("simulator");
}

TEST(TransferCompare, OverLibusb) {
    bus::reset();
    const bus::DeviceId tester = bus::plugIn(bus::testerDevice(comparedTester()));
    expectTransferOfEightWorkbooks("libusb");
    const auto& eeprom = bus::tester(tester).eeprom;
    EXPECT_EQ(eeprom[114] << 8 | eeprom[115], 0x5555) << "the erase request reached the tester";
}

TEST(TransferCompare, BothTransfersWroteTheSameWorkbooks) {
    expectSameWorkbooks("simulator", "libusb");
}

// Without the udev rule the open is refused with EACCES, by a sandbox or a
// device policy with EPERM; a program holding the tester makes the claim
// fail with EBUSY, a tester that left with ENODEV, a configuration without
// interface 0 with EINVAL.
struct OpenRefusal {
    const char* name;
    bus::Step step;
    int error;  // errno
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
    expectRefusedTransfer(c.reason);
    EXPECT_EQ(bus::counters().openHandles, 0) << "a refused open leaves no handle open";
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, OpenRefusedTest,
    ::testing::Values(
        OpenRefusal{"OpenWithoutTheUdevRule", bus::Step::Open, EACCES,
                    "libusb_open: LIBUSB_ERROR_ACCESS (Access denied (insufficient permissions)); "
                    "no permission to open the tester's device node"},
        OpenRefusal{"OpenRefusedByADevicePolicy", bus::Step::Open, EPERM,
                    "libusb_open: LIBUSB_ERROR_IO (Input/Output Error); the system refused the "
                    "device node other than by its permissions (EPERM: a sandbox, container or "
                    "device policy), or the tester left"},
        OpenRefusal{"ClaimedByAnotherProgram", bus::Step::Claim, EBUSY,
                    "libusb_claim_interface(0): LIBUSB_ERROR_BUSY (Resource busy); another "
                    "program holds the tester"},
        OpenRefusal{"TesterLeftBeforeTheClaim", bus::Step::Claim, ENODEV,
                    "libusb_claim_interface(0): LIBUSB_ERROR_NO_DEVICE (No such device (it may "
                    "have been disconnected)); the tester left"},
        OpenRefusal{"NoInterfaceZero", bus::Step::Claim, EINVAL,
                    "libusb_claim_interface(0): LIBUSB_ERROR_INVALID_PARAM (Invalid parameter); "
                    "the tester's active configuration has no interface 0"}),
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
