#pragma once
// What a technician needs to know when the tester cannot be opened: which
// USB access library the link library bound, and why that library's last
// open failed (the libusb access library keeps the reason; it prints
// nothing itself).
#include <optional>
#include <string>

namespace ksx4 {

struct UsbAccessReport {
    std::string libraryPath;  // "" when no access library is loaded
    // nullopt: the access library keeps no reason; "" no open has failed.
    std::optional<std::string> lastOpenFailure;
};

UsbAccessReport usbAccessReport();

}  // namespace ksx4
