#pragma once
// Boot loading: replaces the tester's application area with the program
// memory of an Intel HEX file. It talks to the tester only through link, so
// it can be tested against a fake exchange; the protocol's eraseFlashBlocks,
// writeFlashRow and verifyFlashRow are its building blocks.
//
// Not available yet: returns UNKNOWN_HEX_FILE_FAILURE without opening the
// file or sending anything.
#include "packet_exchange.h"

#include <cstdint>

namespace ksx4::com {

int32_t bootLoad(PacketExchange& link, const char* hexFilePath) noexcept;

}  // namespace ksx4::com
