// Loading the link library: which access library it binds, and what it does
// when there is none or when one lacks an entry point. Each test loads a copy
// of the link library kept in a folder without usb/, so only LD_LIBRARY_PATH
// (set per test by CTest) decides what it finds.
#include "ksx4/ksx4_com.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace ksx4::test {
namespace {

class LinkLibraryCopy {
  public:
    LinkLibraryCopy() : handle_(dlopen(KSX4_ISOLATED_LINK_LIBRARY, RTLD_NOW | RTLD_LOCAL)) {}
    ~LinkLibraryCopy() {
        if (handle_ != nullptr) dlclose(handle_);
    }
    bool loaded() const { return handle_ != nullptr; }

    template <typename Fn>
    Fn get(const char* name) const {
        return reinterpret_cast<Fn>(dlsym(handle_, name));
    }

  private:
    void* handle_;
};

bool accessLibraryResident() {
    void* resident = dlopen("libmpusbapi.so", RTLD_NOW | RTLD_NOLOAD);
    if (resident != nullptr) dlclose(resident);
    return resident != nullptr;
}

// Nothing bound: no tester, open fails, nothing is ever called.
void expectNothingBound(const LinkLibraryCopy& lib) {
    EXPECT_EQ(lib.get<TessCommGetDeviceCountFn>("TessCommGetDeviceCount")(), 0);
    EXPECT_EQ(lib.get<TessCommOpenDeviceFn>("TessCommOpenDevice")(0), DEVICE_COULD_NOT_BE_OPENED);
    EXPECT_EQ(lib.get<TessCommCloseDeviceFn>("TessCommCloseDevice")(), DEVICE_NOT_OPENED_YET);
    uint8_t byte = 0;
    EXPECT_EQ(lib.get<TessCommReadEEMemoryFn>("TessCommReadEEMemory")(0, 1, &byte),
              DEVICE_NOT_OPENED_YET);
}

TEST(NoAccessLibrary, LoadsWithNothingBound) {
    LinkLibraryCopy lib;
    ASSERT_TRUE(lib.loaded()) << dlerror();
    EXPECT_FALSE(accessLibraryResident());
    expectNothingBound(lib);
}

// Its entry points abort, so any call of them would end this test.
TEST(AccessLibraryWithoutReadInt, IsReleasedAndNothingIsBound) {
    LinkLibraryCopy lib;
    ASSERT_TRUE(lib.loaded()) << dlerror();
    EXPECT_FALSE(accessLibraryResident()) << "the incomplete library is released";
    expectNothingBound(lib);
}

TEST(AccessLibraryOnLibraryPath, IsBoundAndStaysLoaded) {
    LinkLibraryCopy lib;
    ASSERT_TRUE(lib.loaded()) << dlerror();
    EXPECT_TRUE(accessLibraryResident());
    EXPECT_EQ(lib.get<TessCommGetDeviceCountFn>("TessCommGetDeviceCount")(), 1);
    EXPECT_EQ(lib.get<TessCommOpenDeviceFn>("TessCommOpenDevice")(0), OPERATION_SUCCESS);
    EXPECT_EQ(lib.get<TessCommCloseDeviceFn>("TessCommCloseDevice")(), OPERATION_SUCCESS);
}

}  // namespace
}  // namespace ksx4::test
