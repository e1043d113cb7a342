#include "boot_load.h"

#include "ksx4/ksx4_com.h"

namespace ksx4::com {

int32_t bootLoad(PacketExchange&, const char*) noexcept {
    return UNKNOWN_HEX_FILE_FAILURE;
}

}  // namespace ksx4::com
