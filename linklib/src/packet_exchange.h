#pragma once
// One command packet out, one reply packet in: the primitive every tester
// command is built on. The USB pipes implement it; the command protocol and
// boot loading only see this interface, so they can be driven by a fake.
#include <cstdint>

namespace ksx4::com {

enum class ExchangeResult : int {
    Failure = 0,   // nothing usable arrived (or the pipes are not open)
    Complete = 1,  // exactly the expected number of reply bytes
    Short = 2,     // fewer reply bytes than expected
};

class PacketExchange {
  public:
    // replyLength: on entry the number of reply bytes expected (reply holds at
    // least that many), on return the number received.
    virtual ExchangeResult exchange(const uint8_t* command, uint32_t commandLength, uint8_t* reply,
                                    uint32_t& replyLength, uint32_t writeTimeoutMs,
                                    uint32_t readTimeoutMs) noexcept = 0;

  protected:
    ~PacketExchange() = default;
};

}  // namespace ksx4::com
