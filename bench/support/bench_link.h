#pragma once
// What the benchmarks of the link library share: binding its exports from
// the built file, and a simulated tester in a state folder of its own.
#include "ksx4/ksx4_com.h"

#include <optional>
#include <string>

namespace ksx4::bench {

struct LinkExports {
    TessCommGetDeviceCountFn count = nullptr;
    TessCommOpenDeviceFn open = nullptr;
    TessCommCloseDeviceFn close = nullptr;
    TessCommReadFlashMemoryFn readFlash = nullptr;
    TessCommBootLoadFn bootLoad = nullptr;
};

// Loads the link library from path. Its own load of libmpusbapi.so finds an
// access library this program has already loaded, else its RUNPATH's.
// nullopt when it cannot be loaded.
std::optional<LinkExports> loadLinkLibrary(const char* path);

// A fresh state folder with one sample tester, named in KSX4_SIM_DIR and
// removed when the program ends, and the simulator at simulatorPath loaded.
// "" when either fails.
std::string startSimulator(const char* simulatorPath);

}  // namespace ksx4::bench
