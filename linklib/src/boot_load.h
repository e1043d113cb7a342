#pragma once
// Boot loading: replaces the tester's application area with the program
// memory of an Intel HEX file. The whole file is read and checked before
// anything is sent, so a refused file leaves the tester untouched; the
// connection is left as it is in every case. It talks to the tester only
// through link, so it can be tested against a fake exchange.
#include "packet_exchange.h"

#include <cstdint>

namespace ksx4::com {

// OPERATION_SUCCESS, a file code (COULD_NOT_OPEN_FILE ..
// UNKNOWN_HEX_FILE_FAILURE), or OPERATION_FAILURE when erasing, writing or
// reading back failed or a row read back differs.
int32_t bootLoad(PacketExchange& link, const char* hexFilePath) noexcept;

}  // namespace ksx4::com
