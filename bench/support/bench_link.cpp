#include "bench_link.h"

#include "tester_image.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>

namespace ksx4::bench {

template <typename Fn>
static Fn bound(void* library, const char* name) {
    return reinterpret_cast<Fn>(dlsym(library, name));
}

std::optional<LinkExports> loadLinkLibrary(const char* path) {
    void* library = dlopen(path, RTLD_NOW);
    if (!library) return std::nullopt;
    LinkExports link;
    link.count = bound<TessCommGetDeviceCountFn>(library, "TessCommGetDeviceCount");
    link.open = bound<TessCommOpenDeviceFn>(library, "TessCommOpenDevice");
    link.close = bound<TessCommCloseDeviceFn>(library, "TessCommCloseDevice");
    link.readFlash = bound<TessCommReadFlashMemoryFn>(library, "TessCommReadFlashMemory");
    link.bootLoad = bound<TessCommBootLoadFn>(library, "TessCommBootLoad");
    if (!link.count || !link.open || !link.close || !link.readFlash || !link.bootLoad)
        return std::nullopt;
    return link;
}

std::string startSimulator(const char* simulatorPath) {
    std::string dir = (std::filesystem::temp_directory_path() / "ksx4-bench-XXXXXX").string();
    if (!mkdtemp(dir.data())) return {};
    setenv("KSX4_SIM_DIR", dir.c_str(), 1);
    static const std::filesystem::path made = dir;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(made, ignored);
    });
    if (!sim::writeTester(dir, 1, sim::sampleTester({}))) return {};
    // Loaded first, so that the link library's load of libmpusbapi.so finds it.
    if (!dlopen(simulatorPath, RTLD_NOW)) return {};
    return dir;
}

}  // namespace ksx4::bench
