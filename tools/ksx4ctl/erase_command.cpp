// ksx4ctl erase: "Erase Reports in KSX-4" on the console.
#include "commands.h"
#include "ctl_support.h"
#include "settings/erase_reports.h"

#include <ostream>

namespace ksx4::ctl {

const char* const kEraseUsage =
    "Usage: ksx4ctl erase [--yes] [--wait SECONDS] [--verbose]\n"
    "\n"
    "Asks \"Erase all Reports Stored in the KSX-4?\" and on ok tells the\n"
    "attached KSX-4 to erase all its stored reports at its next start, as\n"
    "\"Erase Reports in KSX-4\" in ksx4_assistant does. The question is\n"
    "answered on standard input (ok or cancel; end of input is cancel) or by\n"
    "--yes.\n"
    "\n"
    "  --yes, --wait, --verbose  as for every command (see ksx4ctl --help)\n"
    "\n"
    "Exit status: 0 when the erase request was written to the tester; 1 when\n"
    "the question was cancelled or the program ended; 2 for bad arguments.\n";

int runEraseCommand(const QStringList& arguments, CtlContext& context) {
    ConsoleOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (const auto problem = takeCommonOption(arguments, i, options)) {
            if (!problem->isEmpty()) return usageError(context, kEraseUsage, *problem);
        } else {
            return usageError(context, kEraseUsage,
                              QStringLiteral("unexpected argument: ") + argument);
        }
    }
    return runOperation(context, options,
                        [](ProgramState& state) { return mnuErase_Click(state); });
}

}  // namespace ksx4::ctl
