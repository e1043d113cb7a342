; Test firmware for a KSX-4: hardware marker 1.
#define FIRMWARE_MARKER 0x01
        #include "firmware_body.inc"
        end
