; Test firmware for a KSX-4-PA: hardware marker 128.
#define FIRMWARE_MARKER 0x80
        #include "firmware_body.inc"
        end
