/* The tests' own USB access library (libmpusbapi.so): a tester that answers
 * the memory commands from its own flash and EEPROM, records every call, and
 * lets a test change what one exchange does. Tests link it for these extra
 * functions; the link library binds the same loaded object by its name. */
#ifndef KSX4_SCRIPTED_USB_H
#define KSX4_SCRIPTED_USB_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SCRIPTED_EXPORT __attribute__((visibility("default")))

enum ScriptedCallKind {
    SCRIPTED_GET_DEVICE_COUNT,
    SCRIPTED_OPEN,
    SCRIPTED_WRITE,
    SCRIPTED_READ,
    SCRIPTED_CLOSE,
};

#define SCRIPTED_MAX_BYTES 128

/* One recorded call of an entry point. */
typedef struct {
    enum ScriptedCallKind kind;
    void* handle;                      /* write, read, close; the returned handle for open */
    uint32_t instance;                 /* open */
    uint32_t direction;                /* open */
    uint32_t reserved;                 /* open */
    char selection[32];                /* get device count, open */
    char endpoint[16];                 /* open */
    uint32_t length;                   /* write: bytes sent; read: maximum asked for */
    uint32_t timeoutMs;                /* write, read */
    uint8_t bytes[SCRIPTED_MAX_BYTES]; /* write: the packet */
} ScriptedCall;

/* What one exchange (a write and the read after it) does instead of the
 * tester's own answer. Exchanges count from 1 since the last reset. */
enum ScriptedFaultKind {
    SCRIPTED_WRITE_FAILS,    /* write returns 0 with errno = value */
    SCRIPTED_READ_FAILS,     /* read returns 0 with errno = value */
    SCRIPTED_REPLY_LENGTH,   /* the reply has value bytes (never more than asked) */
    SCRIPTED_REPLY_BYTE,     /* reply byte index becomes value */
    SCRIPTED_CLAIM_RECEIVED, /* read reports value bytes received, whatever it filled */
};

SCRIPTED_EXPORT void scriptedUsbReset(void);
/* Forgets recorded calls and faults and restarts exchange numbering; open
 * pipes and memory contents stay. */
SCRIPTED_EXPORT void scriptedUsbForgetCalls(void);
SCRIPTED_EXPORT void scriptedUsbSetDeviceCount(uint32_t count);
SCRIPTED_EXPORT void scriptedUsbFailOpen(uint32_t direction);
SCRIPTED_EXPORT void scriptedUsbSetRecording(int on);
SCRIPTED_EXPORT void scriptedUsbFault(uint32_t exchange, enum ScriptedFaultKind kind, int32_t value,
                                      uint32_t index);

SCRIPTED_EXPORT uint32_t scriptedUsbCallCount(void);
SCRIPTED_EXPORT const ScriptedCall* scriptedUsbCall(uint32_t index);
SCRIPTED_EXPORT uint32_t scriptedUsbExchangeCount(void);

/* The tester's memories (32768 and 256 bytes), filled with a fixed pattern. */
SCRIPTED_EXPORT uint8_t* scriptedUsbFlash(void);
SCRIPTED_EXPORT uint8_t* scriptedUsbEeprom(void);

#ifdef __cplusplus
}
#endif

#endif /* KSX4_SCRIPTED_USB_H */
