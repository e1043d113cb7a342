#pragma once
// The tester's two USB pipes (endpoint 1 out and in), module-wide, and the
// exchange of one packet over them. Both handles are invalid at load and
// whenever no pipe is open.
#include "packet_exchange.h"

#include <cstdint>

namespace ksx4::com {

// Number of attached testers (0 when no access library is bound).
uint32_t attachedTesterCount() noexcept;

// Closes whichever pipe is open, then opens the write pipe and the read pipe
// of the instance. True only when both opened; on failure the one that did
// open stays open until closePipes.
bool openPipes(uint32_t instance) noexcept;

// Closes each valid pipe and marks both invalid.
void closePipes() noexcept;

// Pipes dropped or never opened: exchange fails at once without a USB call.
bool pipesOpen() noexcept;

// The exchange over the pipes. A write or read that fails with the
// invalid-handle error closes both pipes (the connection's "pipes dropped"
// state); any other failure leaves them open.
PacketExchange& usbPipes() noexcept;

}  // namespace ksx4::com
