// The scripted libusb keeps libusb's documented rules, which the libusb
// path tests take for granted: references, claims and the kernel driver,
// transfer errors, and hotplug delivery.
#include "scripted_libusb.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace ksx4::test {
namespace {

namespace usb = scripted_libusb;

libusb_device* onlyDevice(libusb_context* context) {
    libusb_device** list = nullptr;
    EXPECT_EQ(libusb_get_device_list(context, &list), 1);
    libusb_device* device = libusb_ref_device(list[0]);
    libusb_free_device_list(list, 1);
    return device;
}

TEST(ScriptedLibusb, ADeviceObjectLivesWhileReferencedEvenOffTheBus) {
    usb::reset();
    const auto id = usb::plugIn(usb::testerDevice(sim::blankTester(false, 1)));
    libusb_context* context = nullptr;
    ASSERT_EQ(libusb_init(&context), LIBUSB_SUCCESS);
    libusb_device* device = onlyDevice(context);
    libusb_device_handle* handle = nullptr;
    ASSERT_EQ(libusb_open(device, &handle), LIBUSB_SUCCESS);
    libusb_unref_device(device);  // the handle still holds one

    usb::unplug(id);
    libusb_device_descriptor descriptor{};
    EXPECT_EQ(libusb_get_device_descriptor(device, &descriptor), LIBUSB_SUCCESS);
    EXPECT_EQ(descriptor.idProduct, 0xFFCA);
    EXPECT_EQ(libusb_get_device_address(device), 2);
    EXPECT_EQ(libusb_claim_interface(handle, 0), LIBUSB_ERROR_NO_DEVICE);
    EXPECT_EQ(usb::counters().liveDevices, 1);
    libusb_close(handle);
    libusb_handle_events(context);  // the queued removal holds a reference too
    EXPECT_EQ(usb::counters().liveDevices, 0);
}

TEST(ScriptedLibusb, ClaimsAgainstAKernelDriverAndAnotherHandle) {
    usb::reset();
    usb::DeviceSpec spec = usb::testerDevice(sim::blankTester(false, 1));
    spec.kernelDriverBound = true;
    const auto id = usb::plugIn(spec);
    libusb_context* context = nullptr;
    ASSERT_EQ(libusb_init(&context), LIBUSB_SUCCESS);
    libusb_device* device = onlyDevice(context);
    libusb_device_handle* first = nullptr;
    libusb_device_handle* second = nullptr;
    ASSERT_EQ(libusb_open(device, &first), LIBUSB_SUCCESS);
    ASSERT_EQ(libusb_open(device, &second), LIBUSB_SUCCESS);

    EXPECT_EQ(libusb_claim_interface(first, 0), LIBUSB_ERROR_BUSY) << "kernel driver bound";
    EXPECT_EQ(libusb_claim_interface(first, 1), LIBUSB_ERROR_NOT_FOUND);
    EXPECT_EQ(libusb_set_auto_detach_kernel_driver(first, 1), LIBUSB_SUCCESS);
    EXPECT_EQ(libusb_claim_interface(first, 0), LIBUSB_SUCCESS);
    EXPECT_FALSE(usb::kernelDriverBound(id));
    EXPECT_EQ(libusb_claim_interface(second, 0), LIBUSB_ERROR_BUSY) << "claimed by the first";
    EXPECT_EQ(libusb_release_interface(first, 0), LIBUSB_SUCCESS);
    EXPECT_TRUE(usb::kernelDriverBound(id));
    EXPECT_EQ(libusb_release_interface(first, 0), LIBUSB_ERROR_NOT_FOUND);

    libusb_close(first);
    libusb_close(second);
    libusb_unref_device(device);
}

TEST(ScriptedLibusb, TransfersNeedTheClaimedEndpointOfTheirTypeAndReportOverflow) {
    usb::reset();
    usb::DeviceSpec spec = usb::testerDevice(sim::blankTester(false, 0x1234));
    spec.endpoints = {{0x01}, {0x81, LIBUSB_TRANSFER_TYPE_INTERRUPT, 64}};
    usb::plugIn(spec);
    libusb_context* context = nullptr;
    ASSERT_EQ(libusb_init(&context), LIBUSB_SUCCESS);
    libusb_device* device = onlyDevice(context);
    EXPECT_EQ(libusb_get_max_packet_size(device, 0x81), 64);
    EXPECT_EQ(libusb_get_max_packet_size(device, 0x82), LIBUSB_ERROR_NOT_FOUND);
    libusb_device_handle* handle = nullptr;
    ASSERT_EQ(libusb_open(device, &handle), LIBUSB_SUCCESS);

    unsigned char readSerial[5] = {0x04, 2, 254, 0, 0};
    unsigned char reply[64] = {};
    int count = -1;
    EXPECT_EQ(libusb_bulk_transfer(handle, 0x01, readSerial, 5, &count, 100), LIBUSB_ERROR_IO)
        << "not claimed";
    ASSERT_EQ(libusb_claim_interface(handle, 0), LIBUSB_SUCCESS);
    EXPECT_EQ(libusb_bulk_transfer(handle, 0x02, readSerial, 5, &count, 100), LIBUSB_ERROR_IO)
        << "no such endpoint";
    EXPECT_EQ(libusb_interrupt_transfer(handle, 0x01, readSerial, 5, &count, 100), LIBUSB_ERROR_IO)
        << "a bulk endpoint";
    EXPECT_EQ(libusb_interrupt_transfer(handle, 0x81, reply, 64, &count, 100), LIBUSB_ERROR_TIMEOUT)
        << "nothing asked yet";

    ASSERT_EQ(libusb_bulk_transfer(handle, 0x01, readSerial, 5, &count, 100), LIBUSB_SUCCESS);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(libusb_bulk_transfer(handle, 0x81, reply, 64, &count, 100), LIBUSB_ERROR_IO)
        << "an interrupt endpoint";
    EXPECT_EQ(libusb_interrupt_transfer(handle, 0x81, reply, 6, &count, 100), LIBUSB_ERROR_OVERFLOW)
        << "a 7-byte reply";
    EXPECT_EQ(count, 6);
    EXPECT_EQ(reply[0], 0x04);
    EXPECT_EQ(reply[5], 0x12) << "the serial number's high byte";

    libusb_release_interface(handle, 0);
    libusb_close(handle);
    libusb_unref_device(device);
}

struct Heard {
    std::vector<libusb_hotplug_event> events;
    int finishAfter = 0;  // return 1 at this many events; 0: never
};

int hear(libusb_context*, libusb_device*, libusb_hotplug_event event, void* heard) {
    auto& h = *static_cast<Heard*>(heard);
    h.events.push_back(event);
    return h.finishAfter != 0 && static_cast<int>(h.events.size()) == h.finishAfter ? 1 : 0;
}

int registerFor(libusb_context* context, int product, Heard& heard) {
    return libusb_hotplug_register_callback(
        context, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT,
        LIBUSB_HOTPLUG_ENUMERATE, 0x04D8, product, LIBUSB_HOTPLUG_MATCH_ANY, hear, &heard, nullptr);
}

TEST(ScriptedLibusb, HotplugEnumeratesThenDeliversMatchingEventsWhenHandled) {
    usb::reset(false);
    libusb_context* context = nullptr;
    ASSERT_EQ(libusb_init(&context), LIBUSB_SUCCESS);
    Heard refused;
    EXPECT_EQ(libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG), 0);
    EXPECT_EQ(registerFor(context, 0xFFCA, refused), LIBUSB_ERROR_NOT_SUPPORTED);

    usb::reset(true);
    const auto first = usb::plugIn(usb::testerDevice(sim::blankTester(false, 1)));
    Heard testers;
    Heard others;
    Heard once;
    once.finishAfter = 1;
    ASSERT_EQ(registerFor(context, 0xFFCA, testers), LIBUSB_SUCCESS);
    ASSERT_EQ(registerFor(context, 0x000A, others), LIBUSB_SUCCESS);
    ASSERT_EQ(registerFor(context, LIBUSB_HOTPLUG_MATCH_ANY, once), LIBUSB_SUCCESS);
    EXPECT_EQ(testers.events.size(), 1u) << "enumerated during registration";
    EXPECT_EQ(once.events.size(), 1u);

    usb::unplug(first);
    EXPECT_EQ(testers.events.size(), 1u) << "queued until events are handled";
    EXPECT_EQ(libusb_handle_events(context), LIBUSB_SUCCESS);
    // As libusb documents: the arrival queued before the registration comes
    // once more.
    EXPECT_EQ(testers.events,
              (std::vector{LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED,
                           LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT}));
    EXPECT_TRUE(others.events.empty()) << "another product";
    EXPECT_EQ(once.events.size(), 1u) << "deregistered after returning 1";
}

// libusb's synchronous transfers wait by handling its events, so a hotplug
// callback may run inside one, on the transferring thread.
TEST(ScriptedLibusb, ASynchronousTransferDeliversWaitingHotplugEvents) {
    usb::reset(true);
    usb::plugIn(usb::testerDevice(sim::blankTester(false, 1)));
    libusb_context* context = nullptr;
    ASSERT_EQ(libusb_init(&context), LIBUSB_SUCCESS);
    libusb_device* device = onlyDevice(context);
    libusb_device_handle* handle = nullptr;
    ASSERT_EQ(libusb_open(device, &handle), LIBUSB_SUCCESS);
    ASSERT_EQ(libusb_claim_interface(handle, 0), LIBUSB_SUCCESS);
    usb::DeviceSpec other = usb::testerDevice(sim::blankTester(false, 2));
    other.address = 3;
    const auto second = usb::plugIn(other);
    Heard testers;
    ASSERT_EQ(registerFor(context, 0xFFCA, testers), LIBUSB_SUCCESS);
    ASSERT_EQ(testers.events.size(), 2u) << "enumerated during registration";

    usb::unplug(second);
    unsigned char readByte[5] = {0x04, 1, 0x10, 0, 0};
    int sent = 0;
    EXPECT_EQ(libusb_bulk_transfer(handle, 0x01, readByte, 5, &sent, 100), LIBUSB_SUCCESS);
    ASSERT_EQ(testers.events.size(), 4u) << "the arrival queued before, then the removal";
    EXPECT_EQ(testers.events.back(), LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT);

    libusb_release_interface(handle, 0);
    libusb_close(handle);
    libusb_unref_device(device);
    libusb_exit(context);
}

// The libusb Debian 12 ships can read freed memory when two threads handle
// its events at once; here that ends the process, while a held transfer and
// calls that handle no events get along.
TEST(ScriptedLibusbDeathTest, TwoThreadsHandlingEventsAtOnceAbort) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            usb::reset(true);
            const auto id = usb::plugIn(usb::testerDevice(sim::blankTester(false, 1)));
            libusb_context* context = nullptr;
            libusb_init(&context);
            libusb_device* device = onlyDevice(context);
            libusb_device_handle* handle = nullptr;
            libusb_open(device, &handle);
            libusb_claim_interface(handle, 0);
            usb::holdNextCall(id, usb::Held::OutTransfer);
            std::thread transfer([handle] {
                unsigned char readByte[5] = {0x04, 1, 0x10, 0, 0};
                int sent = 0;
                libusb_bulk_transfer(handle, 0x01, readByte, 5, &sent, 100);
            });
            usb::waitForHeldCall();
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(device, &descriptor) == LIBUSB_SUCCESS)
                libusb_handle_events(context);
            usb::letHeldCallGo();
            transfer.join();
        },
        "libusb_handle_events: a second thread handles libusb's events while another does");
}

}  // namespace
}  // namespace ksx4::test
