// ksx4ctl: a console front end over the assistant's operations.
#include "core/clock.h"
#include "ctl_command.h"
#include "platform/link_library.h"
#include "platform/terminal.h"

#include <QStringList>

#include <iostream>
#include <thread>

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));

    ksx4::SteadyClock clock;
    ksx4::LinkLibrary link;
    ksx4::ctl::CtlContext context{
        std::cin,  std::cout,
        std::cerr, clock,
        link,      [](std::chrono::milliseconds wait) {
                                      std::this_thread::sleep_for(wait); }};
    context.outIsTerminal = ksx4::standardOutputIsTerminal();
    return ksx4::ctl::runKsx4ctl(arguments, context);
}
