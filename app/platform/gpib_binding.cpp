#include "platform/gpib_binding.h"

#include "platform/shared_library.h"

namespace ksx4 {

namespace {

using IbdevFn = int (*)(int, int, int, int, int, int);
using IbclrFn = int (*)(int);
using IbwrtFn = int (*)(int, const void*, long);
using IbonlFn = int (*)(int, int);
using RegisterFn = int (*)(int*, int*, int*, long*);
using UnregisterFn = int (*)();

// One status value: the thread accessor where the library has it, else its
// global. Older libraries declare the globals plain, newer ones volatile;
// reading through volatile suits both.
template <typename T>
struct StatusSource {
    T (*accessor)() = nullptr;
    const volatile T* global = nullptr;

    bool found() const { return accessor || global; }
    long read() const { return accessor ? accessor() : *global; }
};

template <typename T>
StatusSource<T> findStatus(SharedLibrary& library, const char* accessorName,
                           const char* globalName) {
    StatusSource<T> source;
    source.accessor = reinterpret_cast<T (*)()>(library.symbol(accessorName));
    if (!source.accessor)
        source.global = static_cast<const volatile T*>(library.symbol(globalName));
    return source;
}

}  // namespace

struct GpibBinding::Bound {
    SharedLibrary library;
    IbdevFn ibdev = nullptr;
    IbclrFn ibclr = nullptr;
    IbwrtFn ibwrt = nullptr;
    IbonlFn ibonl = nullptr;
    RegisterFn registerGlobals = nullptr;  // absent on Linux
    UnregisterFn unregisterGlobals = nullptr;
    StatusSource<int> ibsta, iberr;
    StatusSource<long> ibcntl;
    StatusSource<int> ibcnt;  // only where the library has no long count
    // The variables a registering library keeps up to date for this thread;
    // they must outlive the registration, so they live as long as the binding.
    int registeredIbsta = 0, registeredIberr = 0, registeredIbcnt = 0;
    long registeredIbcntl = 0;
};

GpibBinding::GpibBinding(std::string library) : library_(std::move(library)) {}

GpibBinding::~GpibBinding() = default;

GpibBinding::Bound* GpibBinding::bound() {
    if (bound_) return bound_.get();
    auto loaded = std::make_unique<Bound>();
    if (!loaded->library.load(library_)) {
        loadError_ = loaded->library.error();
        return nullptr;
    }
    SharedLibrary& lib = loaded->library;
    loaded->ibdev = reinterpret_cast<IbdevFn>(lib.symbol("ibdev"));
    loaded->ibclr = reinterpret_cast<IbclrFn>(lib.symbol("ibclr"));
    loaded->ibwrt = reinterpret_cast<IbwrtFn>(lib.symbol("ibwrt"));
    loaded->ibonl = reinterpret_cast<IbonlFn>(lib.symbol("ibonl"));
    loaded->registerGlobals =
        reinterpret_cast<RegisterFn>(lib.symbol("RegisterGpibGlobalsForThread"));
    loaded->unregisterGlobals =
        reinterpret_cast<UnregisterFn>(lib.symbol("UnregisterGpibGlobalsForThread"));
    loaded->ibsta = findStatus<int>(lib, "ThreadIbsta", "ibsta");
    loaded->iberr = findStatus<int>(lib, "ThreadIberr", "iberr");
    loaded->ibcntl = findStatus<long>(lib, "ThreadIbcntl", "ibcntl");
    if (!loaded->ibcntl.found()) loaded->ibcnt = findStatus<int>(lib, "ThreadIbcnt", "ibcnt");

    if (!loaded->ibdev || !loaded->ibclr || !loaded->ibwrt || !loaded->ibonl ||
        !loaded->ibsta.found() || !loaded->iberr.found() ||
        !(loaded->ibcntl.found() || loaded->ibcnt.found())) {
        loadError_ = library_ + " lacks the GPIB calls or status values";
        return nullptr;  // not kept: the next call tries again
    }
    loadError_.clear();
    bound_ = std::move(loaded);
    return bound_.get();
}

std::string GpibBinding::libraryPath() const {
    return bound_ ? bound_->library.path() : std::string();
}

void GpibBinding::refreshStatus() {
    ibsta_ = static_cast<int>(bound_->ibsta.read());
    iberr_ = static_cast<int>(bound_->iberr.read());
    ibcnt_ = bound_->ibcntl.found() ? bound_->ibcntl.read() : bound_->ibcnt.read();
}

int GpibBinding::failNoLibrary() {
    ibsta_ = gpib::kErr;
    iberr_ = gpib::kEneb;
    ibcnt_ = 0;
    return ibsta_;
}

int GpibBinding::registerGlobals() {
    Bound* b = bound();
    if (!b || !b->registerGlobals) return 0;
    return b->registerGlobals(&b->registeredIbsta, &b->registeredIberr, &b->registeredIbcnt,
                              &b->registeredIbcntl);
}

int GpibBinding::unregisterGlobals() {
    Bound* b = bound();
    if (!b || !b->unregisterGlobals) return 0;
    return b->unregisterGlobals();
}

int GpibBinding::ibdev(int board, int pad, int sad, int timo, int eot, int eos) {
    Bound* b = bound();
    if (!b) {
        failNoLibrary();
        return -1;
    }
    const int ud = b->ibdev(board, pad, sad, timo, eot, eos);
    refreshStatus();
    return ud;
}

int GpibBinding::ibclr(int ud) {
    Bound* b = bound();
    if (!b) return failNoLibrary();
    b->ibclr(ud);
    refreshStatus();
    return ibsta_;
}

int GpibBinding::ibwrt(int ud, const void* data, long count) {
    Bound* b = bound();
    if (!b) return failNoLibrary();
    b->ibwrt(ud, data, count);
    refreshStatus();
    return ibsta_;
}

int GpibBinding::ibonl(int ud, int online) {
    Bound* b = bound();
    if (!b) return failNoLibrary();
    b->ibonl(ud, online);
    refreshStatus();
    return ibsta_;
}

}  // namespace ksx4
