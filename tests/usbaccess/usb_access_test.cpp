// The libusb access library: its parsers, and how it behaves over the
// scripted libusb: with no tester, on each transfer fault, with calls on two
// threads, and with its short-lived enumeration where libusb has no hotplug.
#include "usb_access.h"
#include "link_library.h"
#include "mpusbapi.h"
#include "scripted_libusb.h"
#include "selection.h"
#include "thread_wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <ostream>
#include <string>
#include <thread>

namespace ksx4::test {
namespace {

namespace scripted = scripted_libusb;
using scripted::Fault;
using scripted::Held;
using usb::DeviceSelection;

constexpr const char* kTesterSelection = "vid_04d8&pid_ffca";
constexpr const char* kTesterEndpoint = "\\MCHP_EP1";

// The clock the access library's enumeration cache runs on: UsbAccess takes
// a plain function, which reads this test-owned time.
int64_t& testTimeNs() {
    static int64_t now = 1'000'000'000;
    return now;
}

int64_t readTestClock() {
    return testTimeNs();
}

TEST(UsbSelection, ParsesVendorAndProductInEitherCase) {
    EXPECT_EQ(usb::parseSelection("vid_04d8&pid_ffca"), (DeviceSelection{0x04D8, 0xFFCA}));
    EXPECT_EQ(usb::parseSelection("VID_04D8&PID_FFCA"), (DeviceSelection{0x04D8, 0xFFCA}));
    for (const char* bad :
         {"", "vid_04d8", "vid_04d8&pid_ffc", "vid_04d8&pid_ffcaa", "vid_4d8&pid_ffcaa",
          "vid_04g8&pid_ffca", "vid 04d8&pid_ffca", "vid_04d8&vid_ffca", "pid_ffca&vid_04d8"})
        EXPECT_FALSE(usb::parseSelection(bad)) << bad;
    EXPECT_FALSE(usb::parseSelection(nullptr));
}

TEST(UsbSelection, ParsesEndpointsAndDirections) {
    EXPECT_EQ(usb::parseEndpoint("\\MCHP_EP1"), 1);
    EXPECT_EQ(usb::parseEndpoint("\\mchp_ep15"), 15);
    for (const char* bad :
         {"\\MCHP_EP", "\\MCHP_EP16", "\\MCHP_EP01", "MCHP_EP1", "\\MCHP_EP1x", "\\MCHP_EP-1"})
        EXPECT_FALSE(usb::parseEndpoint(bad)) << bad;
    EXPECT_FALSE(usb::parseEndpoint(nullptr));
    EXPECT_EQ(usb::endpointAddress(1, MPUSB_DIRECTION_WRITE), 0x01);
    EXPECT_EQ(usb::endpointAddress(1, MPUSB_DIRECTION_READ), 0x81);
    EXPECT_FALSE(usb::endpointAddress(1, 2));
}

TEST(UsbAccess, MapsTransferErrorsToErrno) {
    EXPECT_EQ(usb::errnoForTransferError(LIBUSB_ERROR_NO_DEVICE), MPUSB_ERROR_INVALID_HANDLE);
    EXPECT_EQ(usb::errnoForTransferError(LIBUSB_ERROR_TIMEOUT), ETIMEDOUT);
    EXPECT_EQ(usb::errnoForTransferError(LIBUSB_ERROR_PIPE), EIO);
}

TEST(UsbAccess, FindsNoTesterAndRefusesHandlesItDidNotGive) {
    usb::UsbAccess access;
    for (int poll = 0; poll < 3; ++poll) EXPECT_EQ(access.deviceCount("vid_04d8&pid_ffca"), 0u);
    EXPECT_EQ(access.deviceCount("nonsense"), 0u);
    EXPECT_EQ(access.open(0, "vid_04d8&pid_ffca", "\\MCHP_EP1", 0), MPUSB_INVALID_HANDLE);
    uint8_t bytes[8] = {};
    uint32_t count = 7;
    EXPECT_EQ(access.write(MPUSB_INVALID_HANDLE, bytes, 5, &count, 100).error,
              MPUSB_ERROR_INVALID_HANDLE);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(access.read(bytes, bytes, 8, &count, 100).error, MPUSB_ERROR_INVALID_HANDLE);
    EXPECT_EQ(access.close(nullptr).error, MPUSB_ERROR_INVALID_HANDLE);
}

// Run with only the link library's folder in the search path: its RUNPATH
// finds the libusb access library next to it.
TEST(UsbAccessThroughLinkLibrary, BindsAndAnswersNoTester) {
    auto link = LinkLibrary::load();
    ASSERT_NE(link.getDeviceCount, nullptr);
    EXPECT_NE(std::string(boundAccessLibraryPath()).find("/usb/libmpusbapi.so"), std::string::npos)
        << boundAccessLibraryPath();
    EXPECT_EQ(link.getDeviceCount(), 0);
    EXPECT_EQ(link.openDevice(0), DEVICE_COULD_NOT_BE_OPENED);
    EXPECT_EQ(link.closeDevice(), DEVICE_NOT_OPENED_YET);
}

// --- Over a scripted tester ---------------------------------------------------

// Both pipes of instance 0, closed again at the end of the test.
struct Pipes {
    explicit Pipes(usb::UsbAccess& opener) : access(opener) {
        out = access.open(0, kTesterSelection, kTesterEndpoint, MPUSB_DIRECTION_WRITE);
        in = access.open(0, kTesterSelection, kTesterEndpoint, MPUSB_DIRECTION_READ);
        EXPECT_NE(out, MPUSB_INVALID_HANDLE);
        EXPECT_NE(in, MPUSB_INVALID_HANDLE);
    }
    ~Pipes() {
        access.close(out);
        access.close(in);
    }
    Pipes(const Pipes&) = delete;
    Pipes& operator=(const Pipes&) = delete;

    usb::UsbAccess& access;
    void* out;
    void* in;
};

scripted::DeviceId plugInTester() {
    scripted::reset();
    return scripted::plugIn(scripted::testerDevice(sim::blankTester(false, 1)));
}

// Read one EEPROM byte: code, count, 24-bit address low byte first.
constexpr uint8_t kReadEepromByte[5] = {0x04, 1, 0x10, 0, 0};

struct FaultErrno {
    const char* name;
    bool in;
    Fault fault;
    int error;
};

void PrintTo(const FaultErrno& c, std::ostream* out) {
    *out << c.name;
}

class TransferFaultErrno : public ::testing::TestWithParam<FaultErrno> {};

TEST_P(TransferFaultErrno, FailsWithItsErrnoAndNothingCounted) {
    const FaultErrno& c = GetParam();
    const auto id = plugInTester();
    usb::UsbAccess access(readTestClock);
    const Pipes pipes(access);
    scripted::failTransfers(id, c.in, c.fault);

    uint32_t count = 99;
    usb::Outcome outcome = access.write(pipes.out, kReadEepromByte, 5, &count, 1000);
    if (c.in) {
        ASSERT_EQ(outcome.result, 1u);
        uint8_t reply[6] = {};
        outcome = access.read(pipes.in, reply, sizeof reply, &count, 1000);
    }
    EXPECT_EQ(outcome.result, 0u);
    EXPECT_EQ(outcome.error, c.error);
    EXPECT_EQ(count, 0u);
}

INSTANTIATE_TEST_SUITE_P(ScriptedLibusb, TransferFaultErrno,
                         ::testing::Values(FaultErrno{"OutTimeout", false, Fault::Timeout,
                                                      ETIMEDOUT},
                                           FaultErrno{"InTimeout", true, Fault::Timeout, ETIMEDOUT},
                                           FaultErrno{"OutIoError", false, Fault::IoError, EIO},
                                           FaultErrno{"InIoError", true, Fault::IoError, EIO},
                                           FaultErrno{"OutDeviceGone", false, Fault::DeviceGone,
                                                      MPUSB_ERROR_INVALID_HANDLE},
                                           FaultErrno{"InDeviceGone", true, Fault::DeviceGone,
                                                      MPUSB_ERROR_INVALID_HANDLE}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UsbAccessOverScriptedLibusb, PaddedReplyStaysInsideTheCallersBuffer) {
    const auto id = plugInTester();
    usb::UsbAccess access(readTestClock);
    const Pipes pipes(access);
    scripted::failTransfers(id, true, Fault::PaddedReply);

    // Write one EEPROM byte: the tester echoes the command code alone.
    const uint8_t write[6] = {0x05, 1, 0x10, 0, 0, 0x42};
    uint32_t count = 0;
    ASSERT_EQ(access.write(pipes.out, write, sizeof write, &count, 1000).result, 1u);
    uint8_t buffer[16 + 1 + 16];
    std::fill(std::begin(buffer), std::end(buffer), 0xA5);
    const usb::Outcome outcome = access.read(pipes.in, buffer + 16, 1, &count, 1000);
    EXPECT_EQ(outcome.result, 1u);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(buffer[16], 0x05);
    EXPECT_TRUE(std::all_of(buffer, buffer + 16, [](uint8_t b) { return b == 0xA5; }));
    EXPECT_TRUE(std::all_of(buffer + 17, std::end(buffer), [](uint8_t b) { return b == 0xA5; }));
    EXPECT_EQ(scripted::tester(id).eeprom[0x10], 0x42);
}

// Pipes of a tester that left stay open until their owner closes them; a
// tester arriving at the same bus and address meanwhile gets its own handle.
TEST(UsbAccessOverScriptedLibusb, ATesterAtTheAddressOfAGoneOneGetsItsOwnHandle) {
    const auto gone = plugInTester();
    usb::UsbAccess access(readTestClock);
    const Pipes stale(access);
    scripted::unplug(gone);
    auto image = sim::blankTester(false, 2);
    image.eeprom[0x10] = 0x5A;
    scripted::plugIn(scripted::testerDevice(image));

    const Pipes fresh(access);
    uint32_t count = 0;
    ASSERT_EQ(access.write(fresh.out, kReadEepromByte, 5, &count, 1000).error, 0);
    uint8_t reply[6] = {};
    ASSERT_EQ(access.read(fresh.in, reply, sizeof reply, &count, 1000).error, 0);
    EXPECT_EQ(count, 6u);
    EXPECT_EQ(reply[5], 0x5A);
}

// libusb may call the hotplug callback inside a transfer (its wait handles
// events): the gone tester is let go there and then, and the count follows.
TEST(UsbAccessOverScriptedLibusb, AnUnplugHeardDuringATransferIsCounted) {
    plugInTester();
    scripted::DeviceSpec other = scripted::testerDevice(sim::blankTester(false, 2));
    other.address = 3;
    const auto second = scripted::plugIn(other);
    usb::UsbAccess access(readTestClock);
    ASSERT_EQ(access.deviceCount(kTesterSelection), 2u);
    const Pipes pipes(access);
    scripted::unplug(second);

    uint32_t count = 0;
    ASSERT_EQ(access.write(pipes.out, kReadEepromByte, 5, &count, 1000).error, 0);
    EXPECT_EQ(scripted::counters().liveDevices, 1) << "let go during the transfer";
    EXPECT_EQ(access.deviceCount(kTesterSelection), 1u);
}

// --- Two threads ---------------------------------------------------------------
// A transfer is held inside the scripted libusb while another thread calls
// the access library; that libusb aborts when two threads handle its events
// at once.

TEST(UsbAccessOnTwoThreads, ACountDuringATransferLeavesLibusbsEventsToTheTransfer) {
    const auto id = plugInTester();
    usb::UsbAccess access(readTestClock);
    ASSERT_EQ(access.deviceCount(kTesterSelection), 1u);
    const Pipes pipes(access);
    scripted::holdNextCall(id, Held::OutTransfer);
    usb::Outcome written;
    std::thread transfer([&] {
        uint32_t count = 0;
        written = access.write(pipes.out, kReadEepromByte, 5, &count, 1000);
    });
    scripted::waitForHeldCall();
    scripted::DeviceSpec other = scripted::testerDevice(sim::blankTester(false, 2));
    other.address = 3;
    scripted::plugIn(other);

    EXPECT_EQ(access.deviceCount(kTesterSelection), 1u) << "the arrival waits for the transfer";
    scripted::letHeldCallGo();
    transfer.join();
    EXPECT_EQ(written.error, 0);
    EXPECT_EQ(access.deviceCount(kTesterSelection), 2u);
}

TEST(UsbAccessOnTwoThreads, TransfersOnTwoThreadsTakeTurns) {
    const auto id = plugInTester();
    usb::UsbAccess access(readTestClock);
    const Pipes pipes(access);
    scripted::holdNextCall(id, Held::OutTransfer);
    usb::Outcome written;
    std::thread writer([&] {
        uint32_t count = 0;
        written = access.write(pipes.out, kReadEepromByte, 5, &count, 1000);
    });
    scripted::waitForHeldCall();

    ThreadStep read;
    usb::Outcome readOutcome;
    uint32_t received = 0;
    std::thread reader([&] {
        read.thread = kernelThreadId();
        uint8_t reply[6] = {};
        readOutcome = access.read(pipes.in, reply, sizeof reply, &received, 1000);
        read.done = true;
    });
    EXPECT_TRUE(waitUntilAsleepOrDone(read)) << "the read waits for the write";
    scripted::letHeldCallGo();
    writer.join();
    reader.join();
    EXPECT_EQ(written.error, 0);
    EXPECT_EQ(readOutcome.error, 0) << "the read came after the write";
    EXPECT_EQ(received, 6u);
}

// The transfer's share is the device's last: its release and close come
// before the next open, whose claim would otherwise meet the old one.
TEST(UsbAccessOnTwoThreads, ACloseDuringATransferLetsTheTesterGoBeforeTheNextOpen) {
    const auto id = plugInTester();
    usb::UsbAccess access(readTestClock);
    void* out = access.open(0, kTesterSelection, kTesterEndpoint, MPUSB_DIRECTION_WRITE);
    void* in = access.open(0, kTesterSelection, kTesterEndpoint, MPUSB_DIRECTION_READ);
    scripted::holdNextCall(id, Held::OutTransfer);
    usb::Outcome written;
    std::thread transfer([&] {
        uint32_t count = 0;
        written = access.write(out, kReadEepromByte, 5, &count, 1000);
    });
    scripted::waitForHeldCall();
    EXPECT_EQ(access.close(out).result, 1u);
    EXPECT_EQ(access.close(in).result, 1u);
    scripted::holdNextCall(id, Held::Release);
    scripted::letHeldCallGo();
    scripted::waitForHeldCall();  // the transfer ended and lets the tester go

    ThreadStep open;
    void* again = MPUSB_INVALID_HANDLE;
    std::thread opener([&] {
        open.thread = kernelThreadId();
        again = access.open(0, kTesterSelection, kTesterEndpoint, MPUSB_DIRECTION_READ);
        open.done = true;
    });
    EXPECT_TRUE(waitUntilAsleepOrDone(open)) << "the open waits for the release";
    scripted::letHeldCallGo();
    transfer.join();
    opener.join();
    EXPECT_EQ(written.error, 0);
    EXPECT_NE(again, MPUSB_INVALID_HANDLE) << access.lastOpenFailure();
    access.close(again);
    const scripted::Counters counters = scripted::counters();
    EXPECT_EQ(counters.claims, 2);
    EXPECT_EQ(counters.releases, 2);
    EXPECT_EQ(counters.openHandles, 0);
}

TEST(UsbAccessWithoutHotplug, CountIsAnEnumerationKeptFor100Milliseconds) {
    scripted::reset(false);
    const auto id = scripted::plugIn(scripted::testerDevice(sim::blankTester(false, 1)));
    usb::UsbAccess access(readTestClock);
    EXPECT_EQ(access.deviceCount(kTesterSelection), 1u);

    scripted::unplug(id);
    testTimeNs() += 100'000'000;
    EXPECT_EQ(access.deviceCount(kTesterSelection), 1u) << "still the enumeration of 100 ms ago";
    testTimeNs() += 1;
    EXPECT_EQ(access.deviceCount(kTesterSelection), 0u);

    scripted::plugIn(scripted::testerDevice(scripted::tester(id)));
    EXPECT_EQ(access.deviceCount(kTesterSelection), 0u) << "still the enumeration before the plug";
    testTimeNs() += 100'000'001;
    EXPECT_EQ(access.deviceCount(kTesterSelection), 1u);
    EXPECT_EQ(scripted::counters().deviceLists, 3);
}

}  // namespace
}  // namespace ksx4::test
