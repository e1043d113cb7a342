#include "flash_programming.h"

#include "ksx4/ksx4_com.h"
#include "protocol.h"

namespace ksx4::com {

int programFlash(PacketExchange& link, const HexArea& programMemory) noexcept {
    int result = eraseFlashBlocks(link, KSX4_APP_AREA_START, KSX4_FLASH_SIZE - KSX4_APP_AREA_START);
    if (result != protocolOk) return result;
    for (uint32_t row = KSX4_APP_AREA_START; row < KSX4_FLASH_SIZE; row += flashRowSize) {
        if (programMemory.rowMask(row) == 0) continue;  // stays erased
        result = writeFlashRow(link, row, programMemory.row(row));
        if (result == protocolOk) result = verifyFlashRow(link, row, programMemory.row(row));
        if (result != protocolOk) return result;
    }
    return protocolOk;
}

}  // namespace ksx4::com
