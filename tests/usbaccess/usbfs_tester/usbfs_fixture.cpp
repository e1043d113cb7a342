#include "usbfs_fixture.h"

#include <libusb.h>

namespace ksx4::test {

void UsbfsTest::SetUp() {
    bed = std::make_unique<usbfs::Testbed>();
    if (!usbfs::Testbed::preloaded()) {
        bed.reset();
        GTEST_SKIP() << "umockdev's preload library is not loaded (run under umockdev-wrapper); "
                        "the sanitizer build cannot preload it, since the sanitizer runtime "
                        "must come first";
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
