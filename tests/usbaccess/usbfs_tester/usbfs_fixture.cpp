#include "usbfs_fixture.h"

#include <libusb.h>

// Under umockdev-wrapper its preload library comes before the sanitizer
// runtime in the process, whose check that it comes first would end the
// program at its start: the sanitizer build runs these tests without it.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() {
    return "verify_asan_link_order=0";
}
#endif

namespace ksx4::test {

void UsbfsTest::SetUp() {
    bed = std::make_unique<usbfs::Testbed>();
    if (!usbfs::Testbed::preloaded()) {
        bed.reset();
        GTEST_SKIP() << "umockdev's preload library is not loaded: run the tests under "
                        "umockdev-wrapper";
    }
}

void UsbfsTest::TearDown() {
    if (bed) {
        EXPECT_TRUE(bed->unknownRequests().empty())
            << "a usbfs request the test bed does not know: " << bed->unknownRequests().front();
    }
}

void UsbfsTest::settle() {
    if (!context_) {
        ASSERT_EQ(libusb_init(&context_), 0);
    }
    libusb_device** list = nullptr;
    ASSERT_GE(libusb_get_device_list(context_, &list), 0);
    libusb_free_device_list(list, 1);
}

}  // namespace ksx4::test
