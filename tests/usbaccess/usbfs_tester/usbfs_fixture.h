#pragma once
// A fresh usbfs test bed per test, made before anything starts libusb.
// Skips where umockdev's preload library is not in the process.
#include "usbfs_testbed.h"

#include <gtest/gtest.h>

#include <memory>

struct libusb_context;

namespace ksx4::test {

class UsbfsTest : public ::testing::Test {
  protected:
    void SetUp() override;
    // Every request libusb sent was one the emulated usbfs knows.
    void TearDown() override;

    // libusb reads udev's events on a thread of its own: a device list of
    // the test's own libusb context makes it take those waiting now, so that
    // the program's next poll sees them.
    void settle();

    std::unique_ptr<usbfs::Testbed> bed;

  private:
    libusb_context* context_ = nullptr;
};

}  // namespace ksx4::test
