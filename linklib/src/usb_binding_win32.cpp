// Binding of the USB access library on Windows: LoadLibrary at process attach
// (DllMain), GetLastError as the last-error value. The only file that touches
// the loader or the thread's last-error value. An access library that lacks
// one of the six names makes our own attach fail.
#include "usb_binding.h"

#include <windows.h>

namespace ksx4::com {
namespace {

void (*lookupSymbol(void* library, const char* name))() {
    FARPROC symbol = GetProcAddress(static_cast<HMODULE>(library), name);
    return reinterpret_cast<void (*)()>(symbol);  // void(*)() may hold any function
}

bool bindUsbLibrary() {
    HMODULE library = LoadLibraryA("mpusbapi");
    if (library == nullptr) return true;  // not found: attach with nothing bound
    if (bindEntryPoints(library, lookupSymbol)) return true;
    FreeLibrary(library);
    return false;
}

}  // namespace

uint32_t lastUsbError() noexcept {
    return static_cast<uint32_t>(GetLastError());
}

}  // namespace ksx4::com

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            return ksx4::com::bindUsbLibrary() ? TRUE : FALSE;
        case DLL_PROCESS_DETACH:
            ksx4::com::forgetOpenEntryPoint();
            return TRUE;
        default:
            return TRUE;
    }
}
