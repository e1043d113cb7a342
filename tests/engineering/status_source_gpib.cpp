// A GPIB library of the older kind: its status only in the globals ibsta,
// iberr and ibcnt, with no long count. Built with KSX4_THREAD_ACCESSORS it
// also has thread accessors, which report the count doubled, so that a test
// can tell which of the two a binding read.
#define EXPORT extern "C" __attribute__((visibility("default")))

extern "C" {
__attribute__((visibility("default"))) int ibsta = 0;
__attribute__((visibility("default"))) int iberr = 0;
__attribute__((visibility("default"))) int ibcnt = 0;
}

namespace {

int completed(long count) {
    ibsta = 0x0100;
    iberr = 0;
    ibcnt = static_cast<int>(count);
    return ibsta;
}

}  // namespace

EXPORT int ibdev(int, int, int, int, int, int) {
    completed(0);
    return 3;
}
EXPORT int ibclr(int) {
    return completed(0);
}
EXPORT int ibwrt(int, const void*, long count) {
    return completed(count);
}
EXPORT int ibonl(int, int) {
    return completed(0);
}

#ifdef KSX4_THREAD_ACCESSORS
EXPORT int ThreadIbsta() {
    return ibsta;
}
EXPORT int ThreadIberr() {
    return iberr;
}
EXPORT long ThreadIbcntl() {
    return 2L * ibcnt;
}
#endif
