#pragma once
// ksx4ctl's commands over the program's own operations, with the console as
// the operator. Kept apart from main() so that tests run it in-process on a
// virtual clock.
#include "platform/gpib_binding.h"

#include <QStringList>

#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>

namespace ksx4 {
class Clock;
class LinkLibrary;
}  // namespace ksx4

namespace ksx4::ctl {

enum ExitCode : int { kExitDone = 0, kExitFailed = 1, kExitUsage = 2 };

struct CtlContext {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    Clock& clock;
    LinkLibrary& link;
    // How pauses wait: a real sleep in the program, virtual time in tests.
    std::function<void(std::chrono::milliseconds)> wait;
    // out is a terminal: long waits show their elapsed time there.
    bool outIsTerminal = false;
    // The GPIB library the engineering procedures bind (a file name found
    // through the search order, or a path).
    std::string gpibLibrary = GpibBinding::kDefaultLibrary;
};

// arguments: without the program name.
int runKsx4ctl(const QStringList& arguments, CtlContext& context);

}  // namespace ksx4::ctl
