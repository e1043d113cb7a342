// The path a real tester's packets take, with nothing replaced but the USB
// bus: the link library's exports, the libusb access library, Debian's
// libusb-1.0 with its Linux backend (udev, sysfs, usbfs ioctls), and testers
// on an emulated usbfs. Each test runs in a process of its own, since all
// three keep process-wide state.
#include "link_library.h"
#include "link_path_checks.h"
#include "usb_access.h"
#include "usbfs_fixture.h"

#include "mpusbapi.h"

#include <gtest/gtest.h>
#include <libusb.h>

#include <dlfcn.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace ksx4::test {
namespace {

DeviceSpec testerAt(uint8_t address, uint16_t serial, uint8_t bus = 1) {
    DeviceSpec spec = testerDevice(testerImage(serial));
    spec.bus = bus;
    spec.address = address;
    return spec;
}

class UsbfsPath : public UsbfsTest {
  protected:
    void SetUp() override {
        UsbfsTest::SetUp();
        if (IsSkipped()) return;
        link = LinkLibrary::load();
        ASSERT_NE(link.getDeviceCount, nullptr);
    }

    LinkLibrary link;
};

// --- Finding testers ---------------------------------------------------------

class DeviceCount : public UsbfsPath, public ::testing::WithParamInterface<int> {};

TEST_P(DeviceCount, CountsTestersOnly) {
    DeviceSpec other = testerAt(20, 1);
    other.vendor = 0x1234;
    bed->plugIn(other);
    DeviceSpec sameVendor = testerAt(21, 1);
    sameVendor.product = 0x000A;
    bed->plugIn(sameVendor);
    for (int t = 0; t < GetParam(); ++t) bed->plugIn(testerAt(static_cast<uint8_t>(2 + t), 1));
    EXPECT_EQ(link.getDeviceCount(), GetParam());
    for (int t = 0; t < GetParam(); ++t) {
        ASSERT_EQ(link.openDevice(static_cast<uint32_t>(t)), OPERATION_SUCCESS) << t;
        EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);
    }
    EXPECT_EQ(link.openDevice(static_cast<uint32_t>(GetParam())), DEVICE_COULD_NOT_BE_OPENED);
}

INSTANTIATE_TEST_SUITE_P(Usbfs, DeviceCount, ::testing::Values(0, 1, 2),
                         [](const auto& info) { return std::to_string(info.param) + "Testers"; });

TEST_F(UsbfsPath, InstancesGoByBusThenAddressWhateverOrderLibusbListsThem) {
    bed->plugIn(testerAt(1, 3, 2));
    bed->plugIn(testerAt(9, 2));
    bed->plugIn(testerAt(4, 1));
    ASSERT_EQ(link.getDeviceCount(), 3);
    for (uint32_t instance = 0; instance < 3; ++instance) {
        ASSERT_EQ(link.openDevice(instance), OPERATION_SUCCESS) << instance;
        EXPECT_EQ(serialNumber(link), instance + 1) << "instance " << instance;
        EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);
    }
}

TEST_F(UsbfsPath, HotplugAddAndRemoveAreCountedWhileTheProgramPolls) {
    EXPECT_EQ(link.getDeviceCount(), 0);  // the program's first poll: nothing there
    const auto first = bed->plugIn(testerAt(2, 1));
    settle();
    EXPECT_EQ(link.getDeviceCount(), 1);
    const auto second = bed->plugIn(testerAt(3, 2));
    settle();
    EXPECT_EQ(link.getDeviceCount(), 2);
    bed->unplug(first);
    settle();
    EXPECT_EQ(link.getDeviceCount(), 1);
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    EXPECT_EQ(serialNumber(link), 2) << "the one left is the second";
    EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);
    bed->unplug(second);
    settle();
    EXPECT_EQ(link.getDeviceCount(), 0);
}

// --- The connection and the memories ------------------------------------------

TEST_F(UsbfsPath, OneOpenAndClaimServeBothPipesAndTheLastCloseReleases) {
    DeviceSpec spec = testerAt(2, 1);
    spec.kernelDriverBound = true;
    const auto id = bed->plugIn(spec);
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    EXPECT_EQ(link.openDevice(0), DEVICE_ALREADY_OPENED);
    EXPECT_EQ(serialNumber(link), 1);
    const usbfs::Counters open = bed->counters();
    EXPECT_EQ(open.opens, 1);
    EXPECT_EQ(open.claims, 1);
    EXPECT_EQ(open.releases, 0);
    EXPECT_FALSE(bed->kernelDriverBound(id)) << "detached for the claim";
    EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);
    EXPECT_EQ(bed->counters().releases, 1);
    EXPECT_EQ(bed->counters().claimedOnTheFly, 0);
    EXPECT_TRUE(bed->kernelDriverBound(id)) << "given back at the release";
}

class WholeMemories : public UsbfsPath, public ::testing::WithParamInterface<EndpointTypes> {};

TEST_P(WholeMemories, ReadAsTheTesterHoldsThem) {
    const sim::TesterImage image = testerImage(7);
    DeviceSpec spec = testerDevice(image);
    spec.endpoints = {{0x01, GetParam().out}, {0x81, GetParam().in}};
    bed->plugIn(spec);
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    expectWholeMemories(link, image);
    EXPECT_EQ(bed->counters().discards, 0) << "no transfer timed out";
}

INSTANTIATE_TEST_SUITE_P(
    Tester, WholeMemories,
    ::testing::Values(EndpointTypes{"Bulk", kBulkEndpoint, kBulkEndpoint},
                      EndpointTypes{"Interrupt", kInterruptEndpoint, kInterruptEndpoint},
                      EndpointTypes{"BulkOutInterruptIn", kBulkEndpoint, kInterruptEndpoint}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UsbfsPath, EepromWriteLandsInTheTester) {
    const sim::TesterImage image = testerImage(1);
    const auto id = bed->plugIn(testerDevice(image));
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    const auto expected = writeLocationName(link, image);
    EXPECT_EQ(bed->tester(id).eeprom, expected);
}

// Root opens any device node whatever its mode: for the time of its life,
// this thread gives up overriding file permissions (the open runs on it).
class WithoutPermissionOverride {
  public:
    WithoutPermissionOverride() {
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        ok_ = syscall(SYS_capget, &header_, saved_) == 0;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        ok_ = ok_ && syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~WithoutPermissionOverride() {
        if (ok_) syscall(SYS_capset, &header_, saved_);
    }
    bool ok() const { return ok_; }

  private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool ok_ = false;
};

// Why the bound access library's last open failed.
std::string lastOpenFailure() {
    void* access = dlopen("libmpusbapi.so", RTLD_NOW | RTLD_NOLOAD);
    if (!access) return "no access library bound";
    auto reason =
        reinterpret_cast<Ksx4UsbLastOpenFailureFn>(dlsym(access, KSX4_USB_LAST_OPEN_FAILURE));
    char text[256] = {};
    if (reason) reason(text, sizeof text);
    dlclose(access);
    return text;
}

// Without the udev rule's access the node itself is refused (EACCES), which
// libusb reports as LIBUSB_ERROR_ACCESS; once readable, the tester opens.
TEST_F(UsbfsPath, ANodeNotOursToOpenIsRefusedWithItsReason) {
    const auto id = bed->plugIn(testerAt(2, 4));
    ASSERT_EQ(chmod(bed->nodeFile(id).c_str(), 0), 0) << errno;
    {
        WithoutPermissionOverride asAUser;
        ASSERT_TRUE(asAUser.ok()) << errno;
        EXPECT_EQ(link.openDevice(0), DEVICE_COULD_NOT_BE_OPENED);
        ASSERT_EQ(chmod(bed->nodeFile(id).c_str(), 0600), 0) << errno;
        EXPECT_EQ(lastOpenFailure(),
                  "bus 1 device 2 (04d8:ffca): libusb_open: LIBUSB_ERROR_ACCESS "
                  "(Access denied (insufficient permissions)); no permission to open the "
                  "tester's device node");
        ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    }
    EXPECT_EQ(serialNumber(link), 4);
}

TEST_F(UsbfsPath, ResetRestartsTheTesterWhichComesBackAtANewAddress) {
    const auto id = bed->plugIn(testerAt(2, 5));
    ASSERT_EQ(link.getDeviceCount(), 1);
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    const uint8_t eraseAll[2] = {0x55, 0x55};  // erase the reports at the next start
    ASSERT_EQ(link.writeEeprom(114, 2, eraseAll), OPERATION_SUCCESS);

    EXPECT_EQ(link.resetBoard(), OPERATION_SUCCESS);
    const sim::TesterImage restarted = bed->tester(id);
    EXPECT_EQ(restarted.eeprom[114], 0);
    EXPECT_TRUE(std::all_of(restarted.flash.begin() + 0x7500, restarted.flash.begin() + 0x7D00,
                            [](uint8_t b) { return b == 0xFF; }))
        << "reports erased at the start";
    bed->unplug(id);
    DeviceSpec again = testerDevice(restarted);
    again.address = 3;
    bed->plugIn(again);
    settle();

    EXPECT_EQ(link.getDeviceCount(), 1);
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    EXPECT_EQ(serialNumber(link), 5);
    EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);
}

// --- A tester that goes away -------------------------------------------------

struct Vanishing {
    const char* name;
    int urbsBefore;
    bool inFlight;
};

void PrintTo(const Vanishing& c, std::ostream* out) {
    *out << c.name;
}

class VanishingTester : public UsbfsPath, public ::testing::WithParamInterface<Vanishing> {};

TEST_P(VanishingTester, DropsThePipesAndALaterPlugInWorks) {
    const sim::TesterImage image = testerImage(3);
    const auto id = bed->plugIn(testerDevice(image));
    ASSERT_EQ(link.getDeviceCount(), 1);
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    bed->vanishAfter(id, GetParam().urbsBefore, GetParam().inFlight);

    uint8_t bytes[6] = {};
    EXPECT_EQ(link.readEeprom(250, 6, bytes), OPERATION_FAILURE);
    const int urbs = bed->counters().urbs;
    EXPECT_EQ(link.readEeprom(250, 6, bytes), OPERATION_FAILURE);
    EXPECT_EQ(bed->counters().urbs, urbs) << "nothing reaches the node once the pipes are dropped";
    bed->unplug(id);
    settle();
    EXPECT_EQ(link.getDeviceCount(), 0);
    EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);

    bed->plugIn(testerAt(3, 3));
    settle();
    EXPECT_EQ(link.getDeviceCount(), 1);
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    ASSERT_EQ(link.readEeprom(250, 6, bytes), OPERATION_SUCCESS);
    EXPECT_TRUE(std::equal(std::begin(bytes), std::end(bytes), image.eeprom.begin() + 250));
}

INSTANTIATE_TEST_SUITE_P(MidTransfer, VanishingTester,
                         ::testing::Values(Vanishing{"AtTheCommand", 0, false},
                                           Vanishing{"BeforeTheReplyIsAskedFor", 1, false},
                                           Vanishing{"WhileTheReplyIsAwaited", 1, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Boot loading ------------------------------------------------------------

TEST_F(UsbfsPath, BootLoadLeavesTheApplicationAreaOfTheFileAndTheBootBlock) {
    std::string reason;
    bool failed = false;
    const auto firmware = testFirmware(bed->rootDir(), &reason, &failed);
    ASSERT_FALSE(failed) << reason;
    if (!firmware) GTEST_SKIP() << reason;

    const sim::TesterImage image = testerImage(1);
    const auto id = bed->plugIn(testerDevice(image));
    ASSERT_EQ(link.openDevice(0), OPERATION_SUCCESS);
    ASSERT_EQ(link.bootLoad(firmware->hexFile.c_str()), OPERATION_SUCCESS);
    EXPECT_EQ(link.closeDevice(), OPERATION_SUCCESS);
    expectLoaded(*firmware, image, bed->tester(id));
}

// --- The access library on its own -----------------------------------------------

// A read that finds no reply times out, and libusb discards its URB: the
// next command's reply must reach the next read, not the discarded one.
TEST_F(UsbfsTest, ATimedOutReadLeavesNothingBehindForTheNextExchange) {
    bed->plugIn(testerAt(2, 0x1234));
    usb::UsbAccess access;
    const char* tester = "vid_04d8&pid_ffca";
    ASSERT_EQ(access.deviceCount(tester), 1u);
    void* out = access.open(0, tester, "\\MCHP_EP1", MPUSB_DIRECTION_WRITE);
    void* in = access.open(0, tester, "\\MCHP_EP1", MPUSB_DIRECTION_READ);
    ASSERT_NE(out, MPUSB_INVALID_HANDLE) << access.lastOpenFailure();
    ASSERT_NE(in, MPUSB_INVALID_HANDLE) << access.lastOpenFailure();

    uint8_t reply[64] = {};
    uint32_t count = 99;
    const usb::Outcome timedOut = access.read(in, reply, sizeof reply, &count, 1);
    EXPECT_EQ(timedOut.result, 0u);
    EXPECT_EQ(timedOut.error, ETIMEDOUT);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(bed->counters().discards, 1);

    const uint8_t readSerial[5] = {0x04, 2, 254, 0, 0};
    EXPECT_EQ(access.write(out, readSerial, sizeof readSerial, &count, 1000).result, 1u);
    EXPECT_EQ(count, sizeof readSerial);
    ASSERT_EQ(access.read(in, reply, sizeof reply, &count, 1000).result, 1u);
    ASSERT_EQ(count, 7u);
    EXPECT_EQ(reply[5] << 8 | reply[6], 0x1234);
    EXPECT_EQ(access.close(in).result, 1u);
    EXPECT_EQ(access.close(out).result, 1u);
    EXPECT_EQ(bed->counters().releases, 1);
}

// What the scripted libusb takes from the real one: a synchronous transfer
// waits by handling libusb's events, so hotplug callbacks run inside it, on
// the transferring thread.
int hearRemoval(libusb_context*, libusb_device*, libusb_hotplug_event event, void* heard) {
    static_cast<std::vector<int>*>(heard)->push_back(event);
    return 0;
}

TEST_F(UsbfsTest, RealLibusbCallsHotplugCallbacksInsideASynchronousTransfer) {
    bed->plugIn(testerAt(2, 1));
    const auto second = bed->plugIn(testerAt(3, 2));
    libusb_context* context = nullptr;
    ASSERT_EQ(libusb_init(&context), 0);
    libusb_device_handle* handle = nullptr;
    libusb_device** list = nullptr;
    const ssize_t size = libusb_get_device_list(context, &list);
    for (ssize_t i = 0; i < size; ++i)
        if (libusb_get_device_address(list[i]) == 2 && libusb_open(list[i], &handle) != 0)
            handle = nullptr;
    libusb_free_device_list(list, 1);
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(libusb_claim_interface(handle, 0), 0);
    std::vector<int> heard;
    libusb_hotplug_callback_handle callback = 0;
    ASSERT_EQ(libusb_hotplug_register_callback(context, LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT, 0, 0x04D8,
                                               0xFFCA, LIBUSB_HOTPLUG_MATCH_ANY, hearRemoval,
                                               &heard, &callback),
              0);

    bed->unplug(second);
    settle();
    EXPECT_TRUE(heard.empty()) << "queued until libusb handles its events";
    unsigned char readSerial[5] = {0x04, 2, 254, 0, 0};
    int sent = 0;
    EXPECT_EQ(libusb_bulk_transfer(handle, 0x01, readSerial, 5, &sent, 1000), 0);
    EXPECT_EQ(heard, std::vector<int>{LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT});

    libusb_hotplug_deregister_callback(context, callback);
    libusb_release_interface(handle, 0);
    libusb_close(handle);
    libusb_exit(context);
}

}  // namespace
}  // namespace ksx4::test
