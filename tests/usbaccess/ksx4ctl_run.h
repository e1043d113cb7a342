#pragma once
// ksx4ctl in-process, on a virtual clock, over whatever link library and
// USB access library the search order binds; and the comparison of the
// workbooks two transfers wrote (KSX4_COMPARE_DIR/<side>, each side filled
// by a process of its own, since each binds its own libmpusbapi.so).
#include "platform/link_library.h"
#include "scripted_operator.h"
#include "tester_image.h"

#include <QStringList>

#include <filesystem>
#include <sstream>
#include <string>

namespace ksx4::test {

class Ksx4ctlRun {
  public:
    int run(const QStringList& arguments);

    VirtualClock clock;
    LinkLibrary link;
    std::ostringstream out, err;
};

// The tester every compared transfer reads: eight reports, 32 devices.
sim::TesterImage comparedTester();

// KSX4_COMPARE_DIR/<side>, emptied.
std::filesystem::path compareDir(const char* side);

// `ksx4ctl transfer --folder <compareDir(side)>` ran through and wrote the
// eight workbooks.
void expectTransferOfEightWorkbooks(const char* side);

// `ksx4ctl transfer --verbose` cannot open the tester at bus 1 device 2:
// the program's message, then the access library and the reason, which
// ends with `reason`.
void expectRefusedTransfer(const std::string& reason);

// The workbooks of both sides, file for file and byte for byte.
void expectSameWorkbooks(const char* side, const char* otherSide);

}  // namespace ksx4::test
