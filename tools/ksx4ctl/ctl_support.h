#pragma once
// What every ksx4ctl command shares: the options all of them take, running
// one of the program's operations with the console as its operator, and the
// exit code taken from the operation's outcome.
#include "console_operator.h"
#include "core/outcome.h"
#include "ctl_command.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QGuiApplication;

namespace ksx4 {
struct ProgramState;
}

namespace ksx4::ctl {

// A command's usage text, written with a problem to standard error; returns
// kExitUsage.
int usageError(CtlContext& context, const std::string& usage, const QString& problem);

// Takes arguments[i] (and its value, advancing i) when it is one of the
// options every command has: --yes, --wait SECONDS, --verbose. nullopt: not
// such an option; otherwise empty text, or the problem with it.
std::optional<QString> takeCommonOption(const QStringList& arguments, qsizetype& i,
                                        ConsoleOptions& options);

bool isHelp(const QString& argument);

// Runs operation with a console operator: kExitDone when it ended Done,
// kExitFailed for any other outcome, when it ended the program, or when the
// link library cannot be loaded. With verbose, the USB access library and
// its last open failure follow on standard error, then what verboseTail
// writes there.
int runOperation(CtlContext& context, const ConsoleOptions& options,
                 const std::function<Outcome(ProgramState&)>& operation,
                 const std::function<void(std::ostream&)>& verboseTail = {});

// Drawing pages needs Qt's fonts, which come with a GUI application; on the
// console that is the offscreen one. Null when an application exists
// already; the pages can be drawn while the returned one lives.
std::unique_ptr<QGuiApplication> guiForDrawingPages();

}  // namespace ksx4::ctl
