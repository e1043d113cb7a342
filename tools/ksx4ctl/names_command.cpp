// ksx4ctl names: the report names editor on the console.
#include "commands.h"
#include "console_forms.h"
#include "ctl_support.h"
#include "set_pairs.h"
#include "settings/memory_map.h"
#include "settings/report_names_editor.h"

#include <ostream>

namespace ksx4::ctl {
namespace {

// A stored name as one line: trailing blanks trimmed, and control
// characters (a tester may hold any byte) written as \xNN so that each name
// stays on its own line.
std::string printableName(const QString& stored) {
    QString name = stored;
    while (name.endsWith(QLatin1Char(' '))) name.chop(1);
    QString shown;
    for (QChar ch : name) {
        if (ch.category() == QChar::Other_Control) {
            shown += QStringLiteral("\\x%1").arg(ch.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            shown += ch;
        }
    }
    return shown.toStdString();
}

}  // namespace

const char* const kNamesUsage =
    "Usage: ksx4ctl names [--yes] [--wait SECONDS] [--verbose]\n"
    "       ksx4ctl names [--defaults] [--set N=TEXT...] [--yes] [--wait SECONDS]\n"
    "                     [--verbose]\n"
    "\n"
    "Without --set or --defaults: prints the eight report (location) names\n"
    "stored in the attached KSX-4, one N=NAME line each with trailing blanks\n"
    "trimmed (after the status lines).\n"
    "\n"
    "  --set N=TEXT...  change the names of locations N (1 to 8; the others\n"
    "                   keep the tester's names) and save all eight exactly\n"
    "                   as \"Save Report Names to KSX-4\" does, checks included\n"
    "  --defaults       \"Show Default Names\" (\"Report 1\" .. \"Report 8\"), then\n"
    "                   save; with --set the pairs change the defaults\n"
    "  --yes, --wait, --verbose  as for every command (see ksx4ctl --help)\n"
    "\n"
    "A name has 1 to 15 characters once leading and trailing blanks are\n"
    "removed, none of \\ / : * ? \" < > |, and only characters of Windows code\n"
    "page 1252 (the tester stores one byte per character).\n"
    "\n"
    "Exit status: 0 when the names were printed or \"Report names written to\n"
    "KSX-4.  Ready...\" was reached; 1 when a check refused a name or the\n"
    "program ended; 2 for bad arguments (N outside 1 to 8 included).\n";

int runNamesCommand(const QStringList& arguments, CtlContext& context) {
    SettingsArguments parsed;
    if (const auto exit = parseSettingsArguments(arguments, context, kNamesUsage, parsed)) {
        return *exit;
    }
    QList<std::pair<int, QString>> changes;
    for (const SetPair& pair : parsed.pairs) {
        // Exactly one digit: " 1" and "+1" are no location.
        const bool oneDigit = pair.name.size() == 1 && pair.name[0] >= QLatin1Char('1') &&
                              pair.name[0] <= QLatin1Char('0' + eeprom::kLocationCount);
        const int location = pair.name.toInt();
        if (!oneDigit) {
            return usageError(context, kNamesUsage,
                              QStringLiteral("not a location from 1 to 8: ") + pair.name);
        }
        changes.append({location, pair.value});
    }

    return runOperation(context, parsed.options, [&](ProgramState& state) {
        ConsoleNamesForm form;
        mnuReportNames_Click(state, form);
        if (parsed.printOnly()) {
            for (int location = 1; location <= eeprom::kLocationCount; ++location) {
                context.out << location << '=' << printableName(form.text(location)) << '\n';
            }
            return Outcome::Done;
        }
        if (parsed.defaults) showDefaultNames(state, form);
        for (const auto& [location, text] : changes) form.setText(location, text);
        return saveNamesToTester(state, form);
    });
}

}  // namespace ksx4::ctl
