#pragma once
// A tester behind its USB endpoints, answering through the simulator's
// protocol code: a command packet on the OUT endpoint is answered from the
// memories at once, and the reply waits for the next IN transfer. Not
// locked: the bus it sits on serialises the calls.
#include "tester_image.h"
#include "tester_protocol.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ksx4::test {

class UsbTester {
  public:
    // nullopt: a device that takes every command and never answers.
    explicit UsbTester(std::optional<sim::TesterImage> image = std::nullopt);

    // What the tester does when it is plugged in or restarts; a reply that
    // was never read is lost.
    void start();
    // A command packet; a new command replaces a reply that was never read.
    void commandOut(std::span<const uint8_t> packet);

    struct In {
        std::vector<uint8_t> bytes;
        bool restart = false;  // the tester restarts once the reply has left
    };
    // The waiting reply, zero-padded to a whole packet of packetSize when
    // padded; nullopt while none waits (the host's read times out).
    std::optional<In> replyIn(bool padded, size_t packetSize);

    bool answers() const { return image_.has_value(); }
    sim::TesterImage& image() { return *image_; }

  private:
    std::optional<sim::TesterImage> image_;
    std::optional<sim::Reply> reply_;
};

}  // namespace ksx4::test
