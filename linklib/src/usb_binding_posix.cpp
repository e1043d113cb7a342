// Binding of the USB access library on POSIX systems: dlopen at load (ELF
// constructor), errno as the last-error value. The only file that touches
// the dynamic loader or errno.
//
// A shared object cannot refuse its own loading, so an access library that
// lacks one of the six names is released and the link library stays loaded
// with nothing bound, exactly as if no access library had been found.
#include "usb_binding.h"

#include <dlfcn.h>

#include <cerrno>

namespace ksx4::com {
namespace {

void (*lookupSymbol(void* library, const char* name))() {
    return reinterpret_cast<void (*)()>(dlsym(library, name));
}

__attribute__((constructor)) void bindUsbLibrary() {
    // The system's search order: LD_LIBRARY_PATH, then our RUNPATH ($ORIGIN/usb).
    void* library = dlopen("libmpusbapi.so", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return;
    if (!bindEntryPoints(library, lookupSymbol)) dlclose(library);
    // Bound: the access library stays loaded for the life of the process.
}

__attribute__((destructor)) void unbindUsbLibrary() {
    forgetOpenEntryPoint();
}

}  // namespace

uint32_t lastUsbError() noexcept {
    return static_cast<uint32_t>(errno);
}

}  // namespace ksx4::com
