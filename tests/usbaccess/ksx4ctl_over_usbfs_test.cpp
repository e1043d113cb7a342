// ksx4ctl in-process over the real libusb-1.0 and testers on an emulated
// usbfs: a whole transfer (compared byte for byte with the simulator's by a
// test of its own, as over the scripted libusb), and what a technician sees
// when the tester cannot be opened.
#include "ctl_command.h"
#include "ksx4ctl_run.h"
#include "usbfs_fixture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace ksx4::test {
namespace {

class UsbfsTransferCompare : public UsbfsTest {};

TEST_F(UsbfsTransferCompare, OverUsbfs) {
    const auto id = bed->plugIn(testerDevice(comparedTester()));
    expectTransferOfEightWorkbooks("usbfs");
    const auto eeprom = bed->tester(id).eeprom;
    EXPECT_EQ(eeprom[114] << 8 | eeprom[115], 0x5555) << "the erase request reached the tester";
}

TEST(UsbfsCompare, TheTransferOverUsbfsWroteTheSimulatorsWorkbooks) {
    expectSameWorkbooks("simulator", "usbfs");
}

// A program holding the tester makes usbfs refuse the claim with EBUSY, a
// tester that left with ENODEV, a configuration without interface 0 with
// EINVAL. usbfs may also refuse a claim with EACCES, which libusb reports as
// LIBUSB_ERROR_OTHER: only the open of the node gives LIBUSB_ERROR_ACCESS
// (usbfs_path_test: ksx4ctl's thousand attempts to open would overflow
// umockdev's table of open files, which keeps each failed open).
struct OpenRefusal {
    const char* name;
    int claimErrno;
    const char* reason;
};

void PrintTo(const OpenRefusal& c, std::ostream* os) {
    *os << c.name;
}

class RefusedOpen : public UsbfsTest, public ::testing::WithParamInterface<OpenRefusal> {};

TEST_P(RefusedOpen, VerboseNamesTheLibraryAndTheCause) {
    const OpenRefusal& c = GetParam();
    const auto id = bed->plugIn(testerDevice(comparedTester()));
    bed->refuseClaim(id, c.claimErrno);
    expectRefusedTransfer(c.reason);
    EXPECT_EQ(bed->counters().claims, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Usbfs, RefusedOpen,
    ::testing::Values(
        OpenRefusal{"ClaimedByAnotherProgram", EBUSY,
                    "libusb_claim_interface(0): LIBUSB_ERROR_BUSY (Resource busy); another "
                    "program holds the tester"},
        OpenRefusal{"TesterLeftBeforeTheClaim", ENODEV,
                    "libusb_claim_interface(0): LIBUSB_ERROR_NO_DEVICE (No such device (it may "
                    "have been disconnected)); the tester left"},
        OpenRefusal{"NoInterfaceZero", EINVAL,
                    "libusb_claim_interface(0): LIBUSB_ERROR_INVALID_PARAM (Invalid parameter); "
                    "the tester's active configuration has no interface 0"},
        OpenRefusal{"ClaimNotPermitted", EACCES,
                    "libusb_claim_interface(0): LIBUSB_ERROR_OTHER (Other error); the system "
                    "refused the claim (its own permission check, say)"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ksx4::test
