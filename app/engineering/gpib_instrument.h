#pragma once
// The signal generator on GPIB, as the noise calibration and the noise test
// drive it: open and reset it, write command strings, and turn any GPIB
// failure into its box and the end of the program. Nothing is read back.
//
// One object per procedure run, since each engineering procedure opens the
// instrument anew, over the one GPIB binding of the program: it holds the
// instrument's descriptor, the flag that the status values were registered
// for the thread, and the status of the last call (16-bit, refreshed after
// every call). It talks to the user only through the Operator.
#include "core/operator.h"
#include "platform/gpib.h"

#include <QString>

#include <cstdint>

namespace ksx4 {

class GpibInstrument {
  public:
    // Board 0, primary address 1: where the generator is set up.
    static constexpr int kBoard = 0;
    static constexpr int kPrimaryAddress = 1;

    GpibInstrument(Gpib& gpib, Operator& ui) : gpib_(gpib), ui_(ui) {}

    // Registers the status values for the calling thread; runs by itself
    // before the first library call. Result 0 sets the registered flag; 1
    // unregisters, registers again and sets it; 2 and 3 unregister and fail;
    // anything else fails. A failure leaves ibsta 0x8000, iberr 0 (EDVR) and
    // the count 0xDEAD37F0 (0x37F0 in 16 bits).
    bool registerGpibGlobals();

    // Opens the generator (ibdev), clears it (ibclr) and resets it ("*RST",
    // "*CLS"). True when it is reset and cleared. A GPIB failure ends the
    // program (gpibFailure); an unexpected run-time error is shown as
    // "Command Error: " and its description, and gives false: the generator
    // is then not ready and the caller must not go on.
    [[nodiscard]] bool openInstrument();

    // Writes the text's 8-bit characters, no terminator added (EOI ends the
    // message); returns when the write has completed. A failure ends the
    // program through gpibFailure.
    void writeInstrument(const QString& text);

    // Shows the message with the status of the last call (box "Error", OK,
    // exclamation icon), takes the instrument offline and ends the program by
    // throwing EndProgram, leaving the tester's link as it is.
    [[noreturn]] void gpibFailure(const QString& message);

    int instrumentHandle() const { return instrumentHandle_; }
    bool globalsRegistered() const { return globalsRegistered_; }
    uint16_t ibsta() const { return ibsta_; }
    uint16_t iberr() const { return iberr_; }
    uint16_t ibcnt() const { return ibcnt_; }

  private:
    // Registration before the first call; false (status set) when it fails
    // and the call must not be made.
    bool readyForCall();
    void copyStatus();
    bool failed() const { return (ibsta_ & gpib::kErr) != 0; }

    Gpib& gpib_;
    Operator& ui_;
    int instrumentHandle_ = -1;
    bool globalsRegistered_ = false;
    uint16_t ibsta_ = 0;
    uint16_t iberr_ = 0;
    uint16_t ibcnt_ = 0;
};

}  // namespace ksx4
