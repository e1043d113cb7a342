#pragma once
// The library's single connection with a tester (module-wide, one per
// process). It is open from a successful open until close or reset, also
// while its pipes are dropped after an invalid-handle error.
#include "packet_exchange.h"

#include <cstdint>

namespace ksx4::com {

bool connectionOpen() noexcept;

// Creates the connection for the instance and opens its pipes. False when
// either pipe failed; the connection is then destroyed again.
bool openConnection(uint32_t instance) noexcept;

// Destroys the connection, closing any pipe still open.
void endConnection() noexcept;

// The exchange over the connection's pipes.
PacketExchange& connectionLink() noexcept;

}  // namespace ksx4::com
