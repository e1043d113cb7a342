#pragma once
// The GPIB calls the engineering procedures make, in the shape of the
// NI-488.2 C interface: each call returns the new ibsta (ibdev: the device
// descriptor, or -1), and the status of the last call is read afterwards.
// GpibBinding (gpib_binding.h) binds a real library; tests may fake it.
namespace ksx4 {

namespace gpib {

// ibsta bits.
inline constexpr int kErr = 0x8000;
inline constexpr int kTimo = 0x4000;
inline constexpr int kEnd = 0x2000;
inline constexpr int kSrqi = 0x1000;
inline constexpr int kRqs = 0x0800;
inline constexpr int kCmpl = 0x0100;
inline constexpr int kLok = 0x0080;
inline constexpr int kRem = 0x0040;
inline constexpr int kCic = 0x0020;
inline constexpr int kAtn = 0x0010;
inline constexpr int kTacs = 0x0008;
inline constexpr int kLacs = 0x0004;
inline constexpr int kDtas = 0x0002;
inline constexpr int kDcas = 0x0001;

// iberr codes the program itself produces.
inline constexpr int kEdvr = 0;  // a system call failed; ibcnt holds errno
inline constexpr int kEarg = 4;  // an invalid argument
inline constexpr int kEneb = 7;  // no GPIB board (here: no usable library)

// ibdev arguments.
inline constexpr int kNoSecondaryAddress = 0;
inline constexpr int kTimeout10s = 13;   // T10s
inline constexpr int kEotAssertEoi = 1;  // EOI with the last byte written
inline constexpr int kNoEos = 0;         // no end-of-string character

}  // namespace gpib

class Gpib {
  public:
    virtual ~Gpib() = default;

    // RegisterGpibGlobalsForThread / UnregisterGpibGlobalsForThread of the
    // Windows library: 0 when done. Libraries without them (the Linux one)
    // need no registration and give 0.
    virtual int registerGlobals() = 0;
    virtual int unregisterGlobals() = 0;

    // board: the board index; pad, sad: primary and secondary address; timo:
    // the time-out code; eot: assert EOI with the last byte; eos: the
    // end-of-string setting. A descriptor >= 0, or -1 with kErr in ibsta().
    virtual int ibdev(int board, int pad, int sad, int timo, int eot, int eos) = 0;
    virtual int ibclr(int ud) = 0;
    // Writes count bytes as they are; returns when the write has ended.
    virtual int ibwrt(int ud, const void* data, long count) = 0;
    // online 0 takes the device offline and releases ud.
    virtual int ibonl(int ud, int online) = 0;

    // The status after the last call.
    virtual int ibsta() const = 0;
    virtual int iberr() const = 0;
    // The count of the last call (the library's long count where it has
    // one); errno after an EDVR failure.
    virtual long ibcnt() const = 0;
};

}  // namespace ksx4
