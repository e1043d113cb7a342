#include "ctl_command.h"

#include "console_operator.h"
#include "core/end_program.h"
#include "core/program_state.h"
#include "platform/link_library.h"
#include "report/transfer.h"

#include <QFileInfo>

#include <ostream>

namespace ksx4::ctl {
namespace {

const char* const kUsage =
    "Usage: ksx4ctl transfer [--folder DIR] [--yes]\n"
    "       ksx4ctl --help\n"
    "\n"
    "transfer  Copies every report stored in the attached KSX-4 into its own\n"
    "          Excel 97-2003 workbook (.xls) in DIR, then tells the tester to\n"
    "          erase its reports at its next start. The steps, texts and\n"
    "          questions are those of \"Transfer Reports  from KSX-4\" in\n"
    "          ksx4_assistant.\n"
    "\n"
    "  --folder DIR  the folder for the workbooks (asked for when missing)\n"
    "  --yes         answer OK or Yes to every question and accept every\n"
    "                proposed file name (without a tester attached it keeps\n"
    "                waiting for one)\n"
    "\n"
    "Messages go to standard error, status texts to standard output, one per\n"
    "line. Questions are answered on standard input (ok, cancel, yes, no,\n"
    "retry, or their first letter); a file dialog becomes a prompt for a path,\n"
    "where an empty line takes the proposed path. End of input counts as\n"
    "Cancel.\n"
    "\n"
    "Exit status: 0 when all reports were transferred or none was found;\n"
    "1 for any other outcome, including a fatal tester error that ends the\n"
    "program; 2 for bad arguments.\n"
    "\n"
    "On a simulated tester: ksx4sim run TESTER -- ksx4ctl transfer --folder OUT\n";

int usageError(CtlContext& context, const QString& problem) {
    context.err << "ksx4ctl: " << problem.toStdString() << "\n\n" << kUsage;
    return kExitUsage;
}

bool endedWell(const QString& status) {
    return status == QLatin1String("Transferred all reports.  Ready...") ||
           status == QLatin1String("No reports found in KSX-4.  Ready...");
}

int runTransfer(const ConsoleOptions& options, CtlContext& context) {
    ConsoleOperator console({context.in, context.out, context.err}, options, context.wait);
    ProgramState state(console, context.clock, context.link);
    try {
        cmddownloaddata_Click(state);
    } catch (const EndProgram&) {
        return kExitFailed;
    } catch (const LinkLibraryUnavailable& error) {
        context.err << "ksx4ctl: " << error.what() << '\n';
        return kExitFailed;
    }
    return endedWell(console.status()) ? kExitDone : kExitFailed;
}

}  // namespace

int runKsx4ctl(const QStringList& arguments, CtlContext& context) {
    if (arguments.isEmpty()) return usageError(context, QStringLiteral("no command given"));
    const QString& command = arguments.front();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
        command == QLatin1String("help")) {
        context.out << kUsage;
        return kExitDone;
    }
    if (command == QLatin1String("--version")) {
        context.out << "ksx4ctl " KSX4_PROJECT_VERSION "\n";
        return kExitDone;
    }
    if (command != QLatin1String("transfer")) {
        return usageError(context, QStringLiteral("unknown command: ") + command);
    }

    ConsoleOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--yes")) {
            options.yes = true;
        } else if (argument == QLatin1String("--folder") && i + 1 < arguments.size()) {
            const QFileInfo folder(arguments[++i]);
            if (!folder.isDir()) {
                return usageError(context, QStringLiteral("not a folder: ") + arguments[i]);
            }
            options.folder = folder.absoluteFilePath();
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            context.out << kUsage;
            return kExitDone;
        } else {
            return usageError(context, QStringLiteral("unexpected argument: ") + argument);
        }
    }
    return runTransfer(options, context);
}

}  // namespace ksx4::ctl
