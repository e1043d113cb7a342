#include "pipes.h"

#include "usb_binding.h"

namespace ksx4::com {
namespace {

constexpr const char* deviceSelection = "vid_04d8&pid_ffca";
constexpr const char* endpointName = "\\MCHP_EP1";

void* outPipe = MPUSB_INVALID_HANDLE;
void* inPipe = MPUSB_INVALID_HANDLE;

bool valid(void* handle) {
    return handle != MPUSB_INVALID_HANDLE;
}

void* openPipe(uint32_t instance, uint32_t direction) {
    const auto open = usbEntryPoints().open;
    if (open == nullptr) return MPUSB_INVALID_HANDLE;
    return open(instance, deviceSelection, endpointName, direction, 0);
}

// Right after a failed write or read: the invalid-handle error drops both pipes.
ExchangeResult failAfterUsbError() {
    if (lastUsbError() == MPUSB_ERROR_INVALID_HANDLE) closePipes();
    return ExchangeResult::Failure;
}

class UsbPipes final : public PacketExchange {
  public:
    ExchangeResult exchange(const uint8_t* command, uint32_t commandLength, uint8_t* reply,
                            uint32_t& replyLength, uint32_t writeTimeoutMs,
                            uint32_t readTimeoutMs) noexcept override {
        if (!pipesOpen()) return ExchangeResult::Failure;
        const UsbEntryPoints& usb = usbEntryPoints();
        const uint32_t expected = replyLength;
        replyLength = 0;

        uint32_t sent = 0;
        if (usb.write(outPipe, command, commandLength, &sent, writeTimeoutMs) == 0) {
            return failAfterUsbError();
        }
        uint32_t received = 0;
        if (usb.read(inPipe, reply, expected, &received, readTimeoutMs) == 0) {
            return failAfterUsbError();
        }
        // A count beyond what was asked for is not believed: nothing is used.
        if (received > expected) return ExchangeResult::Failure;
        replyLength = received;
        return received == expected ? ExchangeResult::Complete : ExchangeResult::Short;
    }
};

UsbPipes pipes;

}  // namespace

uint32_t attachedTesterCount() noexcept {
    const auto getDeviceCount = usbEntryPoints().getDeviceCount;
    return getDeviceCount == nullptr ? 0 : getDeviceCount(deviceSelection);
}

bool openPipes(uint32_t instance) noexcept {
    closePipes();
    outPipe = openPipe(instance, MPUSB_DIRECTION_WRITE);
    inPipe = openPipe(instance, MPUSB_DIRECTION_READ);
    return valid(outPipe) && valid(inPipe);
}

void closePipes() noexcept {
    const auto close = usbEntryPoints().close;
    // A valid handle exists only if open was bound, and close is bound with it.
    if (valid(outPipe) && close != nullptr) close(outPipe);
    if (valid(inPipe) && close != nullptr) close(inPipe);
    outPipe = MPUSB_INVALID_HANDLE;
    inPipe = MPUSB_INVALID_HANDLE;
}

bool pipesOpen() noexcept {
    return valid(outPipe) && valid(inPipe);
}

PacketExchange& usbPipes() noexcept {
    return pipes;
}

}  // namespace ksx4::com
