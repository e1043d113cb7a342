#include "ctl_support.h"

#include "core/end_program.h"
#include "core/program_state.h"
#include "platform/link_library.h"
#include "platform/pooled_threads.h"
#include "platform/usb_access_report.h"

#include <QGuiApplication>

#include <ostream>

namespace ksx4::ctl {

int usageError(CtlContext& context, const std::string& usage, const QString& problem) {
    context.err << "ksx4ctl: " << problem.toStdString() << "\n\n" << usage;
    return kExitUsage;
}

bool isHelp(const QString& argument) {
    return argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

std::optional<QString> takeCommonOption(const QStringList& arguments, qsizetype& i,
                                        ConsoleOptions& options) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("--yes")) {
        options.yes = true;
        return QString();
    }
    if (argument == QLatin1String("--verbose")) {
        options.verbose = true;
        return QString();
    }
    if (argument == QLatin1String("--wait")) {
        if (i + 1 >= arguments.size()) return QStringLiteral("--wait needs a number of seconds");
        bool ok = false;
        const int seconds = arguments[i + 1].toInt(&ok);
        if (!ok || seconds < 0)
            return QStringLiteral("not a number of seconds: ") + arguments[i + 1];
        ++i;
        options.testerWait = std::chrono::seconds(seconds);
        return QString();
    }
    return std::nullopt;
}

namespace {

void reportUsbAccess(std::ostream& err) {
    const UsbAccessReport report = usbAccessReport();
    err << "ksx4ctl: USB access library: "
        << (report.libraryPath.empty() ? std::string("none loaded") : report.libraryPath) << '\n';
    if (report.libraryPath.empty()) return;
    err << "ksx4ctl: last failed open of the tester: ";
    if (!report.lastOpenFailure)
        err << "this access library keeps no reason\n";
    else if (report.lastOpenFailure->empty())
        err << "none\n";
    else
        err << *report.lastOpenFailure << '\n';
}

int runAndEnd(CtlContext& context, const ConsoleOptions& options,
              const std::function<Outcome(ProgramState&)>& operation) {
    ConsoleOptions consoleOptions = options;
    consoleOptions.showElapsed = consoleOptions.showElapsed || context.outIsTerminal;
    ConsoleOperator console({context.in, context.out, context.err}, consoleOptions, context.clock,
                            context.wait);
    ProgramState state(console, context.clock, context.link);
    try {
        return operation(state) == Outcome::Done ? kExitDone : kExitFailed;
    } catch (const EndProgram&) {
        return kExitFailed;
    } catch (const LinkLibraryUnavailable& error) {
        context.err << "ksx4ctl: " << error.what() << '\n';
        return kExitFailed;
    }
}

}  // namespace

int runOperation(CtlContext& context, const ConsoleOptions& options,
                 const std::function<Outcome(ProgramState&)>& operation,
                 const std::function<void(std::ostream&)>& verboseTail) {
    const int exitCode = runAndEnd(context, options, operation);
    if (options.verbose) {
        reportUsbAccess(context.err);
        if (verboseTail) verboseTail(context.err);
    }
    return exitCode;
}

std::unique_ptr<QGuiApplication> guiForDrawingPages() {
    if (QCoreApplication::instance() != nullptr) return nullptr;
    static int argc = 3;
    static char name[] = "ksx4ctl", platform[] = "-platform", offscreen[] = "offscreen";
    static char* argv[] = {name, platform, offscreen, nullptr};
    auto gui = std::make_unique<QGuiApplication>(argc, argv);
    joinPooledThreadsWhenTheApplicationEnds();
    return gui;
}

}  // namespace ksx4::ctl
