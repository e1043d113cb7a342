// gpib_probe STRING...: opens the instrument at board 0, address 1 through
// the program's binding and writes each string. Exit 0 when every call
// succeeded; otherwise the failing call's status on stderr and exit 1.
#include "platform/gpib_binding.h"

#include <cstring>
#include <iostream>

int main(int argc, char** argv) {
    ksx4::GpibBinding gpib;
    const auto failed = [&](const char* call) {
        if (!(gpib.ibsta() & ksx4::gpib::kErr)) return false;
        std::cerr << call << " failed: ibsta " << gpib.ibsta() << ", iberr " << gpib.iberr() << " "
                  << gpib.loadError() << "\n";
        return true;
    };
    const int ud = gpib.ibdev(0, 1, 0, 13, 1, 0);
    if (failed("ibdev")) return 1;
    for (int i = 1; i < argc; ++i) {
        gpib.ibwrt(ud, argv[i], static_cast<long>(std::strlen(argv[i])));
        if (failed("ibwrt")) return 1;
    }
    return 0;
}
