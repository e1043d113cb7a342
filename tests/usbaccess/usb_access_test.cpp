// The libusb access library: its parsers, and that it behaves on a machine
// without a tester (and here without a USB bus).
#include "usb_access.h"
#include "link_library.h"
#include "mpusbapi.h"
#include "selection.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace ksx4::test {
namespace {

using usb::DeviceSelection;

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

}  // namespace
}  // namespace ksx4::test
