// The path a real tester's packets take: the link library's nine exports,
// the libusb access library, and libusb, here the scripted one with a
// tester behind it. Each test runs in a process of its own, since all three
// keep process-wide state.
#include "firmware_fixture.h"
#include "link_library.h"
#include "link_path_checks.h"
#include "scripted_libusb.h"
#include "sim_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <ostream>
#include <string>
#include <vector>

namespace ksx4::test {
namespace {

namespace usb = scripted_libusb;
using usb::DeviceSpec;
using usb::Fault;
using usb::Step;

DeviceSpec testerAt(uint8_t bus, uint8_t address, uint16_t serial) {
    DeviceSpec spec = usb::testerDevice(testerImage(serial));
    spec.bus = bus;
    spec.address = address;
    return spec;
}

DeviceSpec otherDevice(uint16_t vendor, uint16_t product, uint8_t address) {
    DeviceSpec spec;
    spec.vendor = vendor;
    spec.product = product;
    spec.address = address;
    return spec;
}

class LibusbPath : public ::testing::Test {
  protected:
    void SetUp() override {
        usb::reset(true);
        link = LinkLibrary::load();
        ASSERT_NE(link.getDeviceCount, nullptr);
        ASSERT_NE(std::string(boundAccessLibraryPath()).find("/usb/libmpusbapi.so"),
                  std::string::npos)
            << boundAccessLibraryPath();
    }

    LinkLibrary link;
};

// --- Finding testers ---------------------------------------------------------

struct CountCase {
    int testers;
    bool hotplug;
};

void PrintTo(const CountCase& c, std::ostream* out) {
    *out << c.testers << " testers, hotplug " << c.hotplug;
}

class DeviceCount : public LibusbPath, public ::testing::WithParamInterface<CountCase> {};

TEST_P(DeviceCount, CountsTestersOnlyWithOrWithoutHotplug) {
    usb::reset(GetParam().hotplug);  // before the first count looks for hotplug
    usb::plugIn(otherDevice(0x1234, 0xFFCA, 20));
    usb::plugIn(otherDevice(0x04D8, 0x000A, 21));
    for (int t = 0; t < GetParam().testers; ++t)
        usb::plugIn(testerAt(1, static_cast<uint8_t>(2 + t), 1));
    EXPECT_EQ(link.getDeviceCount(), GetParam().testers);
}

INSTANTIATE_TEST_SUITE_P(Bus, DeviceCount,
                         ::testing::Values(CountCase{0, true}, CountCase{1, true},
                                           CountCase{2, true}, CountCase{0, false},
                                           CountCase{1, false}, CountCase{2, false}),
                         [](const auto& info) {
                             return std::to_string(info.param.testers) + "Testers" +
                                    (info.param.hotplug ? "Hotplug" : "NoHotplug");
                         });

TEST_F(LibusbPath, InstancesGoByBusThenAddress) {
    usb::plugIn(testerAt(2, 1, 3));
    usb::plugIn(testerAt(1, 9, 2));
    usb::plugIn(testerAt(1, 4, 1));
    ASSERT_EQ(link.getDeviceCount(), 3);
    for (uint32_t instance = 0; instance < 3; ++instance) {
        ASSERT_EQ(link.openDevice(instance), OPERATION_SUCCESS) << instance;
        EXPECT_EQ(serialNumber(link), instance + 1) << "instance " << instance;
        EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);
    }
    EXPECT_EQ(link.openDevice(3), DEVICE_COULD_NOT_BE_OPENED);
}

TEST_F(LibusbPath, WithHotplugTheCountFollowsUnplugAndReplugAtOnce) {
    const auto id = usb::plugIn(testerAt(1, 2, 1));
    EXPECT_EQ(link.getDeviceCount(), 1);
    usb::unplug(id);
    EXPECT_EQ(link.getDeviceCount(), 0);
    usb::plugIn(usb::testerDevice(usb::tester(id)));
    EXPECT_EQ(link.getDeviceCount(), 1);
    EXPECT_EQ(usb::counters().liveDevices, 1) << "the unplugged device object was let go";
}

TEST_F(LibusbPath, WithHotplugCountingListsNoDevices) {
    usb::plugIn(testerAt(1, 2, 1));
    // One wait of the program: 2001 polls.
    for (int poll = 0; poll < 2001; ++poll) ASSERT_EQ(link.getDeviceCount(), 1) << poll;
    EXPECT_EQ(usb::counters().deviceLists, 0);
}

// --- The connection ----------------------------------------------------------

TEST_F(LibusbPath, BothPipesShareOneClaimThatTheLastCloseGivesBack) {
    DeviceSpec spec = testerAt(1, 2, 1);
    spec.kernelDriverBound = true;
    const auto id = usb::plugIn(spec);

    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    EXPECT_EQ(link.openDevice(0), DEVICE_ALREADY_OPENED);
    const usb::Counters open = usb::counters();
    EXPECT_EQ(open.opens, 1);
    EXPECT_EQ(open.claims, 1);
    EXPECT_EQ(open.openHandles, 1);
    EXPECT_FALSE(usb::kernelDriverBound(id)) << "detached for the claim";
    EXPECT_EQ(serialNumber(link), 1);

    EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);
    const usb::Counters closed = usb::counters();
    EXPECT_EQ(closed.releases, 1);
    EXPECT_EQ(closed.closes, 1);
    EXPECT_EQ(closed.openHandles, 0);
    EXPECT_TRUE(usb::kernelDriverBound(id)) << "given back at the release";
}

struct Refusal {
    const char* name;
    Step step;
    int error;  // errno
};

void PrintTo(const Refusal& c, std::ostream* out) {
    *out << c.name;
}

class RefusedOpen : public LibusbPath, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedOpen, FailsWithNothingLeftOpenAndWorksOnceAllowed) {
    const auto id = usb::plugIn(testerAt(1, 2, 1));
    usb::refuse(id, GetParam().step, GetParam().error);
    EXPECT_EQ(link.openDevice(0), DEVICE_COULD_NOT_BE_OPENED);
    EXPECT_EQ(usb::counters().openHandles, 0);
    EXPECT_EQ(usb::counters().claims, 0);
    EXPECT_EQ(link.closeDevice(), DEVICE_NOT_OPENED_YET);

    usb::refuse(id, GetParam().step, 0);
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    EXPECT_EQ(serialNumber(link), 1);
}

INSTANTIATE_TEST_SUITE_P(Libusb, RefusedOpen,
                         ::testing::Values(Refusal{"OpenAccess", Step::Open, EACCES},
                                           Refusal{"OpenIo", Step::Open, EIO},
                                           Refusal{"ClaimBusy", Step::Claim, EBUSY},
                                           Refusal{"ClaimNotPermitted", Step::Claim, EACCES}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- The memories ------------------------------------------------------------

TEST_F(LibusbPath, WholeMemoriesReadAsTheTesterHoldsThemOverBulkEndpointOne) {
    const sim::TesterImage image = testerImage(7);
    usb::plugIn(usb::testerDevice(image));
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    expectWholeMemories(link, image);

    const auto records = usb::transfers();
    ASSERT_EQ(records.size() % 2, 0u);
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].endpoint, i % 2 == 0 ? 0x01 : 0x81) << i;
        EXPECT_FALSE(records[i].interrupt) << i;
        EXPECT_EQ(records[i].result, LIBUSB_SUCCESS) << i;
        EXPECT_NE(records[i].timeout, 0u) << "0 waits forever";
    }
}

TEST_F(LibusbPath, EepromWriteLandsInTheTester) {
    const sim::TesterImage image = testerImage(1);
    const auto id = usb::plugIn(usb::testerDevice(image));
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    const auto expected = writeLocationName(link, image);
    EXPECT_EQ(usb::tester(id).eeprom, expected);
}

TEST_F(LibusbPath, EraseFlashErasesTheApplicationAreaOnly) {
    const sim::TesterImage image = testerImage(1);
    const auto id = usb::plugIn(usb::testerDevice(image));
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    EXPECT_EQ(link.eraseFlash(), OPERATION_SUCCESS);

    const sim::TesterImage& now = usb::tester(id);
    EXPECT_TRUE(
        std::equal(now.flash.begin(), now.flash.begin() + kAppAreaStart, image.flash.begin()))
        << "boot block kept";
    EXPECT_TRUE(std::all_of(now.flash.begin() + kAppAreaStart, now.flash.end(),
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(now.eeprom, image.eeprom);
}

class EndpointType : public LibusbPath, public ::testing::WithParamInterface<EndpointTypes> {};

TEST_P(EndpointType, EachEndpointIsServedWithItsOwnTransferType) {
    DeviceSpec spec = testerAt(1, 2, 1);
    spec.endpoints = {{0x01, GetParam().out}, {0x81, GetParam().in}};
    const auto id = usb::plugIn(spec);
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    std::vector<uint8_t> eeprom(kEepromSize);
    EXPECT_EQ(link.readEeprom(0, kEepromSize, eeprom.data()), OPERATION_SUCCESS);
    EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.end(), usb::tester(id).eeprom.begin()));

    for (const usb::TransferRecord& record : usb::transfers()) {
        const uint8_t type = (record.endpoint & 0x80) ? GetParam().in : GetParam().out;
        EXPECT_EQ(record.interrupt, type == LIBUSB_TRANSFER_TYPE_INTERRUPT)
            << "endpoint " << int{record.endpoint};
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tester, EndpointType,
    ::testing::Values(EndpointTypes{"Interrupt", LIBUSB_TRANSFER_TYPE_INTERRUPT,
                                    LIBUSB_TRANSFER_TYPE_INTERRUPT},
                      EndpointTypes{"BulkOutInterruptIn", LIBUSB_TRANSFER_TYPE_BULK,
                                    LIBUSB_TRANSFER_TYPE_INTERRUPT}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LibusbPath, ResetRestartsTheTesterAtANewAddress) {
    const auto id = usb::plugIn(testerAt(1, 2, 5));
    ASSERT_EQ(link.getDeviceCount(), 1);
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    const uint8_t eraseAll[2] = {0x55, 0x55};  // erase the reports at the next start
    ASSERT_EQ(link.writeEeprom(114, 2, eraseAll), OPERATION_SUCCESS);

    EXPECT_EQ(link.resetBoard(), OPERATION_SUCCESS);
    EXPECT_EQ(usb::counters().openHandles, 0);
    EXPECT_TRUE(usb::present(id));
    EXPECT_NE(usb::address(id), 2);
    const sim::TesterImage& restarted = usb::tester(id);
    EXPECT_EQ(restarted.eeprom[114], 0);
    EXPECT_EQ(restarted.eeprom[115], 0);
    EXPECT_TRUE(std::all_of(restarted.flash.begin() + 0x7500, restarted.flash.begin() + 0x7D00,
                            [](uint8_t b) { return b == 0xFF; }))
        << "reports erased at the start";

    EXPECT_EQ(link.getDeviceCount(), 1);
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    EXPECT_EQ(serialNumber(link), 5);
    EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);
    EXPECT_EQ(usb::counters().liveDevices, 1) << "the device object before the restart was let go";
}

// --- Transfer faults ---------------------------------------------------------

struct TransferFault {
    const char* name;
    bool in;
    Fault fault;
    int32_t result;
    bool pipesKept;
};

void PrintTo(const TransferFault& c, std::ostream* out) {
    *out << c.name;
}

class TransferFaults : public LibusbPath, public ::testing::WithParamInterface<TransferFault> {
  protected:
    static constexpr size_t kGuard = 16;
    static constexpr uint32_t kAddress = 250;
    static constexpr uint32_t kLength = 6;

    // Reads the last six EEPROM bytes into a buffer with guard bytes on
    // both sides, which must stay as they were.
    int32_t readGuarded(std::array<uint8_t, kLength>& bytes) {
        std::array<uint8_t, kGuard + kLength + kGuard> buffer;
        buffer.fill(0xA5);
        const int32_t result = link.readEeprom(kAddress, kLength, buffer.data() + kGuard);
        EXPECT_TRUE(std::all_of(buffer.begin(), buffer.begin() + kGuard,
                                [](uint8_t b) { return b == 0xA5; }));
        EXPECT_TRUE(
            std::all_of(buffer.end() - kGuard, buffer.end(), [](uint8_t b) { return b == 0xA5; }));
        std::copy_n(buffer.begin() + kGuard, kLength, bytes.begin());
        return result;
    }

    void expectReadWorks(const sim::TesterImage& image) {
        std::array<uint8_t, kLength> bytes{};
        ASSERT_EQ(readGuarded(bytes), OPERATION_SUCCESS);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), image.eeprom.begin() + kAddress));
    }
};

TEST_P(TransferFaults, GiveTheirCodeAndLeaveThePipesAsTheyShould) {
    const TransferFault& c = GetParam();
    const sim::TesterImage image = testerImage(3);
    const auto id = usb::plugIn(usb::testerDevice(image));
    ASSERT_EQ(link.getDeviceCount(), 1);  // as the program waits for its tester
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    usb::failTransfers(id, c.in, c.fault);

    std::array<uint8_t, kLength> bytes{};
    EXPECT_EQ(readGuarded(bytes), c.result);
    if (c.result == OPERATION_SUCCESS) {
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), image.eeprom.begin() + kAddress));
    }

    if (c.pipesKept) {
        EXPECT_EQ(usb::counters().closes, 0);
        expectReadWorks(image);
        return;
    }
    // Dropped: nothing reaches libusb until the connection is made again.
    const int transfersBefore = usb::counters().transfers;
    EXPECT_EQ(readGuarded(bytes), OPERATION_FAILURE);
    EXPECT_EQ(usb::counters().transfers, transfersBefore);
    EXPECT_EQ(usb::counters().openHandles, 0);
    EXPECT_EQ(link.getDeviceCount(), 0);
    EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);
    EXPECT_EQ(link.openDevice(0), DEVICE_COULD_NOT_BE_OPENED);

    usb::plugIn(usb::testerDevice(usb::tester(id)));
    EXPECT_EQ(link.getDeviceCount(), 1);
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    expectReadWorks(image);
    EXPECT_EQ(usb::counters().liveDevices, 1) << "the gone tester's device object was let go";
}

INSTANTIATE_TEST_SUITE_P(
    Libusb, TransferFaults,
    ::testing::Values(
        TransferFault{"OutTimeout", false, Fault::Timeout, OPERATION_FAILURE, true},
        TransferFault{"InTimeout", true, Fault::Timeout, OPERATION_FAILURE, true},
        TransferFault{"OutIoError", false, Fault::IoError, OPERATION_FAILURE, true},
        TransferFault{"InIoError", true, Fault::IoError, OPERATION_FAILURE, true},
        TransferFault{"OutDeviceGone", false, Fault::DeviceGone, OPERATION_FAILURE, false},
        TransferFault{"InDeviceGone", true, Fault::DeviceGone, OPERATION_FAILURE, false},
        TransferFault{"PaddedReply", true, Fault::PaddedReply, OPERATION_SUCCESS, true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Boot loading ------------------------------------------------------------

class LibusbBootLoad : public SimFolderTest {};  // for its folder

TEST_F(LibusbBootLoad, LeavesTheApplicationAreaOfTheFileAndTheBootBlock) {
    std::string reason;
    bool failed = false;
    const auto firmware = testFirmware(dir, &reason, &failed);
    ASSERT_FALSE(failed) << reason;
    if (!firmware) GTEST_SKIP() << reason;

    usb::reset(true);
    const sim::TesterImage image = testerImage(1);
    const auto id = usb::plugIn(usb::testerDevice(image));
    auto link = LinkLibrary::load();
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    ASSERT_EQ(link.bootLoad(firmware->hexFile.c_str()), OPERATION_SUCCESS);
    EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);
    expectLoaded(*firmware, image, usb::tester(id));
}

}  // namespace
}  // namespace ksx4::test
