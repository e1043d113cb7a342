// ksx4ctl transfer: "Transfer Reports  from KSX-4" on the console.
#include "commands.h"
#include "ctl_support.h"
#include "report/transfer.h"

#include <QFileInfo>
#include <QGuiApplication>

#include <memory>
#include <ostream>

namespace ksx4::ctl {

const char* const kTransferUsage =
    "Usage: ksx4ctl transfer [--folder DIR] [--pdf] [--yes] [--wait SECONDS]\n"
    "                        [--verbose]\n"
    "\n"
    "Copies every report stored in the attached KSX-4 into its own Excel\n"
    "97-2003 workbook (.xls) in DIR, then tells the tester to erase its\n"
    "reports at its next start. The steps, texts and questions are those of\n"
    "\"Transfer Reports  from KSX-4\" in ksx4_assistant.\n"
    "\n"
    "  --folder DIR     the folder for the workbooks (asked for when missing)\n"
    "  --pdf            also write each workbook's printed pages as NAME.pdf\n"
    "                   beside NAME.xls; the reports are erased only when\n"
    "                   every PDF is written too\n"
    "  --yes            answer OK or Yes to every question and accept every\n"
    "                   proposed file name\n"
    "  --wait SECONDS   with --yes: how long to keep looking for a tester\n"
    "                   before giving up as Cancel does (default 30)\n"
    "  --verbose        end by naming the USB access library and why the\n"
    "                   tester's last open failed (on standard error)\n"
    "\n"
    "Exit status: 0 when all reports were transferred or none was found;\n"
    "1 for any other outcome, including a fatal tester error that ends the\n"
    "program; 2 for bad arguments.\n";

int runTransferCommand(const QStringList& arguments, CtlContext& context) {
    ConsoleOptions options;
    TransferOptions transfer;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (const auto problem = takeCommonOption(arguments, i, options)) {
            if (!problem->isEmpty()) return usageError(context, kTransferUsage, *problem);
        } else if (argument == QLatin1String("--folder") && i + 1 < arguments.size()) {
            const QFileInfo folder(arguments[++i]);
            if (!folder.isDir()) {
                return usageError(context, kTransferUsage,
                                  QStringLiteral("not a folder: ") + arguments[i]);
            }
            options.folder = folder.absoluteFilePath();
        } else if (argument == QLatin1String("--pdf")) {
            transfer.alsoSavePdf = true;
        } else if (isHelp(argument)) {
            context.out << kTransferUsage;
            return kExitDone;
        } else {
            return usageError(context, kTransferUsage,
                              QStringLiteral("unexpected argument: ") + argument);
        }
    }
    // Drawing pages needs Qt's fonts, which come with a GUI application; on
    // the console that is the offscreen one, made only when PDFs are asked for.
    std::unique_ptr<QGuiApplication> fonts;
    if (transfer.alsoSavePdf && QCoreApplication::instance() == nullptr) {
        static int argc = 3;
        static char name[] = "ksx4ctl", platform[] = "-platform", offscreen[] = "offscreen";
        static char* argv[] = {name, platform, offscreen, nullptr};
        fonts = std::make_unique<QGuiApplication>(argc, argv);
    }
    return runOperation(context, options, [&transfer](ProgramState& state) {
        return cmddownloaddata_Click(state, transfer);
    });
}

}  // namespace ksx4::ctl
