#include "link_library.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace ksx4::test {

template <typename Fn>
static void bind(void* library, const char* name, Fn& function) {
    function = reinterpret_cast<Fn>(dlsym(library, name));
    ASSERT_NE(function, nullptr) << name;
}

LinkLibrary LinkLibrary::load() {
    LinkLibrary link;
    void* library = dlopen("libksx4_com.so", RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(library, nullptr) << dlerror();
    if (!library) return link;
    bind(library, "TessCommGetDeviceCount", link.getDeviceCount);
    bind(library, "TessCommOpenDevice", link.openDevice);
    bind(library, "TessCommCloseDevice", link.closeDevice);
    bind(library, "TessCommResetBoard", link.resetBoard);
    bind(library, "TessCommBootLoad", link.bootLoad);
    bind(library, "TessCommReadFlashMemory", link.readFlash);
    bind(library, "TessCommReadEEMemory", link.readEeprom);
    bind(library, "TessCommEraseFlash", link.eraseFlash);
    bind(library, "TessCommWriteEEMemory", link.writeEeprom);
    return link;
}

const char* boundAccessLibraryPath() {
    void* access = dlopen("libmpusbapi.so", RTLD_NOW | RTLD_NOLOAD);
    if (!access) return "";
    Dl_info info{};
    const bool found = dladdr(dlsym(access, "_MPUSBOpen"), &info) != 0;
    dlclose(access);
    return found && info.dli_fname ? info.dli_fname : "";
}

}  // namespace ksx4::test
