/* ksx4_com: the KSX-4 link library.
 *
 * Nine exported functions are the only way a program talks to the tester.
 * The library keeps at most one connection, checks every request against the
 * tester's memory sizes before anything is sent, and answers with one of the
 * return codes below. Buffers always belong to the caller; the library only
 * reads or fills them during the call. One caller at a time. */
#ifndef KSX4_COM_H
#define KSX4_COM_H

#include <stdint.h>

#if defined(_WIN32)
#define KSX4_CALL __stdcall
#else
#define KSX4_CALL
#endif

#if defined(_WIN32) && defined(KSX4_COM_BUILDING)
#define KSX4_EXPORT
#elif defined(KSX4_COM_BUILDING)
#define KSX4_EXPORT __attribute__((visibility("default")))
#else
#define KSX4_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Return codes of every export except TessCommGetDeviceCount. */
enum Ksx4ReturnCode {
    OPERATION_SUCCESS = 0,
    DEVICE_ALREADY_OPENED = 1,
    DEVICE_NOT_OPENED_YET = 2,
    COULD_NOT_OPEN_FILE = 3,
    BAD_HEX_LINE_CHECKSUM = 4,
    SHORT_HEX_FILE = 5,
    UNKNOWN_LINE_IN_HEX_FILE = 6,
    UNKNOWN_HEX_FILE_FAILURE = 7,
    DEVICE_COULD_NOT_BE_OPENED = 8,
    OPERATION_FAILURE = 9,
    BAD_BUFFER_LENGTH = 10,
    BAD_MEMORY_ADDRESS = 11,
    MEMORY_OPERATION_OVERRUN = 12
};

/* Memory sizes the range checks use. */
#define KSX4_FLASH_SIZE 0x8000u
#define KSX4_EEPROM_SIZE 256u
#define KSX4_APP_AREA_START 0x0800u

KSX4_EXPORT int32_t KSX4_CALL TessCommGetDeviceCount(void);
KSX4_EXPORT int32_t KSX4_CALL TessCommOpenDevice(uint32_t instance);
KSX4_EXPORT int32_t KSX4_CALL TessCommCloseDevice(void);
KSX4_EXPORT int32_t KSX4_CALL TessCommResetBoard(void);
KSX4_EXPORT int32_t KSX4_CALL TessCommBootLoad(const char* hexFilePath);
KSX4_EXPORT int32_t KSX4_CALL TessCommReadFlashMemory(uint32_t address, uint32_t length,
                                                      uint8_t* buffer);
KSX4_EXPORT int32_t KSX4_CALL TessCommReadEEMemory(uint32_t address, uint32_t length,
                                                   uint8_t* buffer);
KSX4_EXPORT int32_t KSX4_CALL TessCommEraseFlash(void);
KSX4_EXPORT int32_t KSX4_CALL TessCommWriteEEMemory(uint32_t address, uint32_t length,
                                                    const uint8_t* data);

/* Pointer types for programs that bind the exports by name at run time. */
typedef int32_t(KSX4_CALL* TessCommGetDeviceCountFn)(void);
typedef int32_t(KSX4_CALL* TessCommOpenDeviceFn)(uint32_t);
typedef int32_t(KSX4_CALL* TessCommCloseDeviceFn)(void);
typedef int32_t(KSX4_CALL* TessCommResetBoardFn)(void);
typedef int32_t(KSX4_CALL* TessCommBootLoadFn)(const char*);
typedef int32_t(KSX4_CALL* TessCommReadFlashMemoryFn)(uint32_t, uint32_t, uint8_t*);
typedef int32_t(KSX4_CALL* TessCommReadEEMemoryFn)(uint32_t, uint32_t, uint8_t*);
typedef int32_t(KSX4_CALL* TessCommEraseFlashFn)(void);
typedef int32_t(KSX4_CALL* TessCommWriteEEMemoryFn)(uint32_t, uint32_t, const uint8_t*);

#ifdef __cplusplus
}
#endif

#endif /* KSX4_COM_H */
