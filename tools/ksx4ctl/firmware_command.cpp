// ksx4ctl firmware: "Update Firmware" on the console, with the HEX file from
// the command line instead of the open dialog.
#include "commands.h"
#include "ctl_support.h"
#include "firmware/firmware_update.h"

#include <QFileInfo>

#include <ostream>

namespace ksx4::ctl {

const char* const kFirmwareUsage =
    "Usage: ksx4ctl firmware FILE [--yes] [--wait SECONDS] [--verbose]\n"
    "\n"
    "Loads the Intel HEX firmware FILE into the attached tester, after the\n"
    "checks of \"Update Firmware\" in ksx4_assistant: the path must exist and\n"
    "contain \".HEX\" (in any case), and the file's hardware marker must suit\n"
    "the tester's kind. Everything stored in the tester is erased; the\n"
    "question \"Final check!\" is answered on standard input (end of input is\n"
    "Cancel). While the tester is programmed, a terminal shows the time\n"
    "elapsed.\n"
    "\n"
    "  --yes            answer OK to every question, \"Final check!\" included\n"
    "  --wait SECONDS   with --yes: how long to keep looking for a tester\n"
    "                   before giving up as Cancel does (default 30)\n"
    "  --verbose        end by naming the USB access library and why the\n"
    "                   tester's last open failed (on standard error)\n"
    "\n"
    "Exit status: 0 when the firmware was loaded (\"KSX-4 firmware loaded.\n"
    "Ready...\"); 1 for any other outcome, including a fatal tester error\n"
    "that ends the program; 2 for bad arguments.\n";

int runFirmwareCommand(const QStringList& arguments, CtlContext& context) {
    ConsoleOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (const auto problem = takeCommonOption(arguments, i, options)) {
            if (!problem->isEmpty()) return usageError(context, kFirmwareUsage, *problem);
        } else if (argument.startsWith(QLatin1String("--")) || argument.isEmpty() ||
                   !options.openFile.isEmpty()) {
            return usageError(context, kFirmwareUsage,
                              QStringLiteral("unexpected argument: ") + argument);
        } else {
            // The full path, as the open dialog gives it: the extension
            // check looks at all of it.
            options.openFile = QFileInfo(argument).absoluteFilePath();
        }
    }
    if (options.openFile.isEmpty()) {
        return usageError(context, kFirmwareUsage, QStringLiteral("no firmware file given"));
    }
    return runOperation(context, options,
                        [](ProgramState& state) { return cmdloadflash_Click(state); });
}

}  // namespace ksx4::ctl
