/* Control functions of the Wine tests' own mpusbapi.dll, found by the test
 * program with GetProcAddress in the copy that the link library loaded. */
#ifndef KSX4_SCRIPTED_MPUSBAPI_H
#define KSX4_SCRIPTED_MPUSBAPI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* What the tester saw since the last reset. */
typedef struct {
    uint32_t opens;
    uint32_t writes;
    uint32_t reads;
    uint32_t closes;
    uint32_t openPipes;
} ScriptedCounts;

/* Fresh memories (a fixed pattern, see scriptedFlashByte), one tester, no
 * faults, counts at 0. Pipes stay as they are. */
typedef void (*ScriptedResetFn)(void);
typedef void (*ScriptedSetDeviceCountFn)(uint32_t count);
/* The next write (failWrite != 0) or read fails with this last-error value. */
typedef void (*ScriptedFailNextFn)(int failWrite, uint32_t lastError);
typedef void (*ScriptedCountsFn)(ScriptedCounts* counts);

#ifdef __cplusplus
}

/* The memories' fixed pattern, shared by the library and its test. */
inline uint8_t scriptedFlashByte(uint32_t address) {
    return static_cast<uint8_t>(address * 7 + (address >> 8));
}
inline uint8_t scriptedEepromByte(uint32_t address) {
    return static_cast<uint8_t>(0xA0 ^ address);
}
#endif

#endif /* KSX4_SCRIPTED_MPUSBAPI_H */
