#include "ctl_command.h"

#include "commands.h"
#include "ctl_support.h"

#include <algorithm>
#include <array>
#include <ostream>
#include <string>

namespace ksx4::ctl {
namespace {

struct Command {
    const char* name;
    const char* usage;
    int (*run)(const QStringList& arguments, CtlContext& context);
};

const std::array kCommands{
    Command{"transfer", kTransferUsage, runTransferCommand},
    Command{"limits", kLimitsUsage, runLimitsCommand},
    Command{"names", kNamesUsage, runNamesCommand},
    Command{"erase", kEraseUsage, runEraseCommand},
    Command{"firmware", kFirmwareUsage, runFirmwareCommand},
    Command{"archive", kArchiveUsage, runArchiveCommand},
};

// Commands the general usage does not list; their own --help explains them.
const std::array kUnlistedCommands{
    Command{"engineering", kEngineeringUsage, runEngineeringCommand},
};

const char* const kGeneralUsage =
    "Usage: ksx4ctl COMMAND [OPTIONS]\n"
    "       ksx4ctl COMMAND --help\n"
    "       ksx4ctl --help\n"
    "\n"
    "Commands:\n"
    "  transfer   copy the stored reports into workbooks, then erase them\n"
    "  limits     print or change the OK/BAD limits\n"
    "  names      print or change the report (location) names\n"
    "  erase      tell the tester to erase its stored reports\n"
    "  firmware   load a firmware HEX file into the tester\n"
    "  archive    list, show, trend or remake the reports transfers kept; list\n"
    "             segments with their findings, diagnose a report, choose a\n"
    "             segment's baseline\n"
    "\n"
    "Every command runs the same steps, texts and questions as ksx4_assistant.\n"
    "Messages go to standard error, status texts to standard output, one per\n"
    "line. Questions are answered on standard input (ok, cancel, yes, no,\n"
    "retry, or their first letter); a file dialog becomes a prompt for a path,\n"
    "where an empty line takes the proposed path. End of input counts as\n"
    "Cancel. With --yes every question is answered OK or Yes; while no tester\n"
    "is attached that goes on for --wait SECONDS (default 30), then Cancel.\n"
    "With --verbose a command ends by writing to standard error which USB\n"
    "access library was bound and why the last open of the tester failed\n"
    "(\"Unable to Open KSX-4. Return Value: 8\" without a udev rule, say).\n"
    "\n"
    "Exit status: 0 when the operation did what it was asked (transfer: every\n"
    "report transferred or none found; limits and names: printed what is\n"
    "stored or wrote the changes; erase: the erase request written; firmware:\n"
    "loaded); 1 for any other outcome, a Cancel included (erase answered\n"
    "Cancel reaches \"Ready\" and exits 1), and a fatal tester error that ends\n"
    "the program; 2 for bad arguments.\n"
    "\n"
    "On a simulated tester: ksx4sim run TESTER -- ksx4ctl transfer --folder OUT\n"
    "                       ksx4sim run TESTER -- ksx4ctl limits --set voltage=12.5\n";

// The general usage followed by every command's own.
std::string fullUsage() {
    std::string usage = kGeneralUsage;
    for (const Command& command : kCommands) usage += std::string("\n") + command.usage;
    return usage;
}

// --help (or -h) anywhere after the command's name, a subcommand's
// included, gives the command's help, whatever the other arguments hold:
// it comes before their checks.
int runCommand(const Command& command, const QStringList& arguments, CtlContext& context) {
    const QStringList commandArguments = arguments.mid(1);
    if (std::any_of(commandArguments.begin(), commandArguments.end(), isHelp)) {
        context.out << command.usage;
        return kExitDone;
    }
    return command.run(commandArguments, context);
}

}  // namespace

int runKsx4ctl(const QStringList& arguments, CtlContext& context) {
    if (arguments.isEmpty()) {
        return usageError(context, fullUsage(), QStringLiteral("no command given"));
    }
    const QString& name = arguments.front();
    if (isHelp(name) || name == QLatin1String("help")) {
        context.out << fullUsage();
        return kExitDone;
    }
    if (name == QLatin1String("--version")) {
        context.out << "ksx4ctl " KSX4_PROJECT_VERSION "\n";
        return kExitDone;
    }
    for (const Command& command : kCommands) {
        if (name == QLatin1String(command.name)) return runCommand(command, arguments, context);
    }
    for (const Command& command : kUnlistedCommands) {
        if (name == QLatin1String(command.name)) return runCommand(command, arguments, context);
    }
    return usageError(context, fullUsage(), QStringLiteral("unknown command: ") + name);
}

}  // namespace ksx4::ctl
