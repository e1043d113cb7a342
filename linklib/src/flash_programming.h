#pragma once
// Programming the tester's application area (0x0800 to 0x7FFF) with the
// program memory of a HEX file. The boot block below it holds the boot
// loader that answers these commands and is never erased or written.
#include "hex_image.h"
#include "packet_exchange.h"

namespace ksx4::com {

// Erases the whole application area, then writes and reads back every row
// that holds at least one byte from the file; positions the file leaves out
// are written as 0xFF, the value of erased flash. Stops at the first failed
// exchange or differing row: 0 or the command protocol's failure value.
int programFlash(PacketExchange& link, const HexArea& programMemory) noexcept;

}  // namespace ksx4::com
