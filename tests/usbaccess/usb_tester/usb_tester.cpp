#include "usb_tester.h"

#include <algorithm>

namespace ksx4::test {

UsbTester::UsbTester(std::optional<sim::TesterImage> image) : image_(std::move(image)) {}

void UsbTester::start() {
    reply_.reset();
    if (image_) sim::startTester({image_->flash, image_->eeprom});
}

void UsbTester::commandOut(std::span<const uint8_t> packet) {
    reply_.reset();
    if (!image_) return;  // taken, never answered
    const sim::Reply reply = sim::answerPacket({image_->flash, image_->eeprom}, packet);
    if (reply.answered) reply_ = reply;
}

std::optional<UsbTester::In> UsbTester::replyIn(bool padded, size_t packetSize) {
    if (!reply_) return std::nullopt;
    const sim::Reply reply = *reply_;
    reply_.reset();
    In in{{reply.bytes.begin(), reply.bytes.begin() + static_cast<std::ptrdiff_t>(reply.size)},
          reply.restart};
    if (padded && packetSize > 0)
        in.bytes.resize(
            std::max<size_t>(1, (in.bytes.size() + packetSize - 1) / packetSize) * packetSize, 0);
    return in;
}

}  // namespace ksx4::test
