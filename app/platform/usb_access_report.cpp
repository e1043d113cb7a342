#include "platform/usb_access_report.h"

#include "mpusbapi.h"
#include "platform/shared_library.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace ksx4 {

UsbAccessReport usbAccessReport() {
    UsbAccessReport report;
    // The link library loads the access library by this name and keeps it
    // loaded, so the one loaded under it is the one bound.
    SharedLibrary access;
    if (!access.attachLoaded(SharedLibrary::fileNameFor("mpusbapi"))) return report;
    std::error_code ignored;
    report.libraryPath = std::filesystem::weakly_canonical(access.path(), ignored).string();
    if (report.libraryPath.empty()) report.libraryPath = access.path();
    const auto lastOpenFailure =
        reinterpret_cast<Ksx4UsbLastOpenFailureFn>(access.symbol(KSX4_USB_LAST_OPEN_FAILURE));
    if (!lastOpenFailure) return report;
    const uint32_t length = lastOpenFailure(nullptr, 0);
    std::vector<char> text(size_t{length} + 1);
    lastOpenFailure(text.data(), static_cast<uint32_t>(text.size()));
    report.lastOpenFailure = std::string(text.data());
    return report;
}

}  // namespace ksx4
