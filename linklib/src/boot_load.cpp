#include "boot_load.h"

#include "flash_programming.h"
#include "hex_file.h"
#include "ksx4/ksx4_com.h"
#include "protocol.h"

#include <new>
#include <variant>

namespace ksx4::com {

int32_t bootLoad(PacketExchange& link, const char* hexFilePath) noexcept {
    try {
        const HexReadResult read = readHexFile(hexFilePath);
        if (const auto* failure = std::get_if<HexFailure>(&read)) return failure->code;
        const HexImage& image = std::get<HexImage>(read);
        return programFlash(link, image.programMemory) == protocolOk ? OPERATION_SUCCESS
                                                                     : OPERATION_FAILURE;
    } catch (const std::bad_alloc&) {
        return UNKNOWN_HEX_FILE_FAILURE;  // no room for the image: nothing was sent
    }
}

}  // namespace ksx4::com
