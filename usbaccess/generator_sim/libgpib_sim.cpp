// The C interface of the simulated generator's libgpib.so.0: the four calls
// the program makes and the status values, both as the library's globals
// and as thread accessors, set after every call like the GPIB user library's.
#include "generator.h"

#define GPIB_SIM_EXPORT __attribute__((visibility("default")))

namespace {

ksx4::gpibsim::Generator& generator() {
    static ksx4::gpibsim::Generator instance;  // lives until the process ends
    return instance;
}

thread_local ksx4::gpibsim::Status threadStatus;

}  // namespace

extern "C" {

// The library's status globals: part of the C interface callers bind by name.
GPIB_SIM_EXPORT int ibsta = 0;
GPIB_SIM_EXPORT int iberr = 0;
GPIB_SIM_EXPORT int ibcnt = 0;
GPIB_SIM_EXPORT long ibcntl = 0;

}  // extern "C"

namespace {

int finish(const ksx4::gpibsim::Outcome& outcome) {
    threadStatus = outcome.status;
    ibsta = outcome.status.ibsta;
    iberr = outcome.status.iberr;
    ibcntl = outcome.status.ibcntl;
    ibcnt = static_cast<int>(outcome.status.ibcntl);
    return outcome.result;
}

}  // namespace

extern "C" {

GPIB_SIM_EXPORT int ibdev(int board, int pad, int sad, int timo, int eot, int eos) {
    return finish(generator().ibdev(board, pad, sad, timo, eot, eos));
}

GPIB_SIM_EXPORT int ibclr(int ud) {
    return finish(generator().ibclr(ud));
}

GPIB_SIM_EXPORT int ibwrt(int ud, const void* data, long count) {
    return finish(generator().ibwrt(ud, data, count));
}

GPIB_SIM_EXPORT int ibonl(int ud, int online) {
    return finish(generator().ibonl(ud, online));
}

GPIB_SIM_EXPORT int ThreadIbsta() {
    return threadStatus.ibsta;
}

GPIB_SIM_EXPORT int ThreadIberr() {
    return threadStatus.iberr;
}

GPIB_SIM_EXPORT int ThreadIbcnt() {
    return static_cast<int>(threadStatus.ibcntl);
}

GPIB_SIM_EXPORT long ThreadIbcntl() {
    return threadStatus.ibcntl;
}

}  // extern "C"
