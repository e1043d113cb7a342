// ksx4ctl transfer: "Transfer Reports  from KSX-4" on the console.
#include "commands.h"
#include "ctl_support.h"
#include "report/transfer.h"
#include "report/transfer_session.h"

#include <QFileInfo>
#include <QGuiApplication>

#include <memory>
#include <optional>
#include <ostream>

namespace ksx4::ctl {

const char* const kTransferUsage =
    "Usage: ksx4ctl transfer [--folder DIR] [--pdf] [--yes] [--wait SECONDS]\n"
    "                        [--archive LOCATION] [--verbose]\n"
    "\n"
    "Copies every report stored in the attached KSX-4 into its own Excel\n"
    "97-2003 workbook (.xls) in DIR, then tells the tester to erase its\n"
    "reports at its next start. The steps, texts and questions are those of\n"
    "\"Transfer Reports  from KSX-4\" in ksx4_assistant. Every report is also\n"
    "kept in the archive; the tester erases its reports only when every one\n"
    "is in its workbook and in the archive. After the line \"Archived N\n"
    "reports in LOCATION\" follows one line for each report whose findings\n"
    "hold an alarm or a warning: its segment and its worst finding, against\n"
    "the segment's baseline (see ksx4ctl archive diagnose). Findings are\n"
    "hints: they change no workbook, verdict or erase.\n"
    "\n"
    "  --folder DIR     the folder for the workbooks (asked for when missing)\n"
    "  --archive LOCATION\n"
    "                   an SQLite file, postgresql://[user@][host][:port]/dbname\n"
    "                   [?PARAMETER=VALUE&...] (host=SOCKET_FOLDER, sslmode,\n"
    "                   sslrootcert, sslcert, sslkey, service, connect_timeout,\n"
    "                   application_name), or none (default: $KSX4_ARCHIVE,\n"
    "                   else ~/.local/share/ksx4-assistant/archive.sqlite)\n"
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
    "Exit status: 0 when all reports were transferred and archived or none was\n"
    "found; 1 for any other outcome, a report the archive could not take and\n"
    "a fatal tester error that ends the program included; 2 for bad arguments.\n";

int runTransferCommand(const QStringList& arguments, CtlContext& context) {
    ConsoleOptions options;
    std::optional<QString> archiveOption;
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
        } else if (argument == QLatin1String("--archive") && i + 1 < arguments.size()) {
            archiveOption = arguments[++i];
        } else if (argument == QLatin1String("--pdf")) {
            transfer.alsoSavePdf = true;
        } else {
            return usageError(context, kTransferUsage,
                              QStringLiteral("unexpected argument: ") + argument);
        }
    }
    const auto location = archive::resolveArchiveLocation(archiveOption);
    if (const auto* problem = std::get_if<QString>(&location))
        return usageError(context, kTransferUsage, *problem);
    const auto& archiveLocation = std::get<archive::ArchiveLocation>(location);
    if (options.verbose)
        context.err << "ksx4ctl: archive: " << archiveLocation.displayText().toStdString() << '\n';
    // Made only when PDFs are asked for.
    const auto fonts = transfer.alsoSavePdf ? guiForDrawingPages() : nullptr;
    std::optional<QString> archivedLine;
    std::vector<QString> findingLines;
    const int exitCode = runOperation(
        context, options,
        [&archiveLocation, &transfer, &archivedLine, &findingLines](ProgramState& state) {
            TransferSession session;
            session.copies = ReportCopies(archiveLocation);
            session.alsoSavePdf = transfer.alsoSavePdf;
            const Outcome outcome = cmddownloaddata_Click(state, session);
            archivedLine = session.copies.archivedLine();
            findingLines = session.copies.findingLines();
            return outcome;
        });
    // The window shows these lines on its status list, which the console
    // does not print.
    if (archivedLine) context.out << archivedLine->toStdString() << '\n';
    for (const QString& line : findingLines) context.out << line.toStdString() << '\n';
    return exitCode;
}

}  // namespace ksx4::ctl
