// The nine exports: argument checks in their fixed order, then the connection
// or the command protocol. Every check comes before any exchange, so a
// rejected request leaves the tester untouched.
#include "ksx4/ksx4_com.h"

#include "boot_load.h"
#include "connection.h"
#include "pipes.h"
#include "protocol.h"

namespace {

using namespace ksx4::com;

// address >= size: 11; address + length > size: 12 (no 32-bit wrap-around).
int32_t checkRange(uint32_t address, uint32_t length, uint32_t size) {
    if (address >= size) return BAD_MEMORY_ADDRESS;
    if (uint64_t{address} + uint64_t{length} > size) return MEMORY_OPERATION_OVERRUN;
    return OPERATION_SUCCESS;
}

int32_t toReturnCode(int protocolResult) {
    return protocolResult == protocolOk ? OPERATION_SUCCESS : OPERATION_FAILURE;
}

// Reads of either memory: no connection, range, then the missing buffer.
int32_t readMemory(uint32_t address, uint32_t length, uint8_t* buffer, uint32_t size,
                   int (*read)(PacketExchange&, uint32_t, uint32_t, uint8_t*) noexcept) {
    if (!connectionOpen()) return DEVICE_NOT_OPENED_YET;
    if (const int32_t range = checkRange(address, length, size); range != OPERATION_SUCCESS) {
        return range;
    }
    if (length == 0) return OPERATION_SUCCESS;
    if (buffer == nullptr) return BAD_BUFFER_LENGTH;
    return toReturnCode(read(connectionLink(), address, length, buffer));
}

}  // namespace

extern "C" {

KSX4_EXPORT int32_t KSX4_CALL TessCommGetDeviceCount(void) {
    return static_cast<int32_t>(attachedTesterCount());
}

KSX4_EXPORT int32_t KSX4_CALL TessCommOpenDevice(uint32_t instance) {
    if (connectionOpen()) return DEVICE_ALREADY_OPENED;
    return openConnection(instance) ? OPERATION_SUCCESS : DEVICE_COULD_NOT_BE_OPENED;
}

KSX4_EXPORT int32_t KSX4_CALL TessCommCloseDevice(void) {
    if (!connectionOpen()) return DEVICE_NOT_OPENED_YET;
    endConnection();
    return OPERATION_SUCCESS;
}

KSX4_EXPORT int32_t KSX4_CALL TessCommResetBoard(void) {
    if (!connectionOpen()) return DEVICE_NOT_OPENED_YET;
    // The tester restarts on the reset and may not answer it, so the
    // connection ends and the result is success either way.
    resetBoard(connectionLink());
    endConnection();
    return OPERATION_SUCCESS;
}

KSX4_EXPORT int32_t KSX4_CALL TessCommBootLoad(const char* hexFilePath) {
    if (!connectionOpen()) return DEVICE_NOT_OPENED_YET;
    if (hexFilePath == nullptr) return COULD_NOT_OPEN_FILE;
    return bootLoad(connectionLink(), hexFilePath);
}

KSX4_EXPORT int32_t KSX4_CALL TessCommReadFlashMemory(uint32_t address, uint32_t length,
                                                      uint8_t* buffer) {
    return readMemory(address, length, buffer, KSX4_FLASH_SIZE, readFlash);
}

KSX4_EXPORT int32_t KSX4_CALL TessCommReadEEMemory(uint32_t address, uint32_t length,
                                                   uint8_t* buffer) {
    return readMemory(address, length, buffer, KSX4_EEPROM_SIZE, readEeprom);
}

KSX4_EXPORT int32_t KSX4_CALL TessCommEraseFlash(void) {
    if (!connectionOpen()) return DEVICE_NOT_OPENED_YET;
    return toReturnCode(eraseFlashBlocks(connectionLink(), KSX4_APP_AREA_START,
                                         KSX4_FLASH_SIZE - KSX4_APP_AREA_START));
}

KSX4_EXPORT int32_t KSX4_CALL TessCommWriteEEMemory(uint32_t address, uint32_t length,
                                                    const uint8_t* data) {
    if (!connectionOpen()) return DEVICE_NOT_OPENED_YET;
    if (length == 0 || length > maxEepromWrite) return BAD_BUFFER_LENGTH;
    if (const int32_t range = checkRange(address, length, KSX4_EEPROM_SIZE);
        range != OPERATION_SUCCESS) {
        return range;
    }
    if (data == nullptr) return BAD_BUFFER_LENGTH;
    return toReturnCode(writeEeprom(connectionLink(), address, data, length));
}

}  // extern "C"
