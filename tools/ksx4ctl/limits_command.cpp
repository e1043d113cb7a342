// ksx4ctl limits: the OK/BAD limits editor on the console.
#include "commands.h"
#include "console_forms.h"
#include "ctl_support.h"
#include "set_pairs.h"
#include "settings/limits_editor.h"
#include "settings/limits_table.h"

#include <ostream>

namespace ksx4::ctl {

const char* const kLimitsUsage =
    "Usage: ksx4ctl limits [--yes] [--wait SECONDS] [--verbose]\n"
    "       ksx4ctl limits [--defaults] [--set NAME=VALUE...] [--yes] [--wait SECONDS]\n"
    "                      [--verbose]\n"
    "\n"
    "Without --set or --defaults: prints the OK/BAD limits stored in the\n"
    "attached KSX-4 as the \"Set OK/BAD Limits\" editor shows them, one\n"
    "NAME=VALUE line each (after the status lines), but the voltage with\n"
    "three decimals: exactly the stored millivolts.\n"
    "\n"
    "  --set NAME=VALUE...  change the named limits (the others keep the\n"
    "                       tester's values) and save all nine exactly as\n"
    "                       \"Save Limits to KSX-4\" does, checks included;\n"
    "                       NAME= leaves that limit empty, which the save refuses\n"
    "  --defaults           \"Show Default Limits\", then save; with --set the\n"
    "                       pairs change the defaults\n"
    "  --yes, --wait, --verbose  as for every command (see ksx4ctl --help)\n"
    "\n"
    "Names (and what the value is): voltage (volts, minimum, 8 to 32),\n"
    "signal (mV, minimum, 100 to 1000), ff-avg, ff-peak, lf-avg, lf-peak,\n"
    "hf-avg, hf-peak (fieldbus, low and high frequency noise, average and\n"
    "peak, mV, maximum, 25 to 2000), retransmits (count, maximum, 0 to 250).\n"
    "Numbers are read in the number format of the environment (LC_NUMERIC,\n"
    "LANG): \"12,5\" is a number where the decimal sign is a comma.\n"
    "\n"
    "Exit status: 0 when the limits were printed or \"OK/BAD limits written to\n"
    "KSX-4.  Ready...\" was reached; 1 when a check refused a value or the\n"
    "program ended; 2 for bad arguments (an unknown NAME included).\n";

int runLimitsCommand(const QStringList& arguments, CtlContext& context) {
    SettingsArguments parsed;
    if (const auto exit = parseSettingsArguments(arguments, context, kLimitsUsage, parsed)) {
        return *exit;
    }
    QList<std::pair<LimitBox, QString>> changes;
    for (const SetPair& pair : parsed.pairs) {
        const auto box = limitBoxNamed(pair.name);
        if (!box) {
            return usageError(context, kLimitsUsage, QStringLiteral("unknown limit: ") + pair.name);
        }
        changes.append({*box, pair.value});
    }

    return runOperation(context, parsed.options, [&](ProgramState& state) {
        ConsoleLimitsForm form;
        mnuOKBADLimits_Click(state, form);
        if (parsed.printOnly()) {
            for (const LimitRow& row : kLimitRows) {
                context.out << row.consoleName << '=' << form.text(row.box).toStdString() << '\n';
            }
            return Outcome::Done;
        }
        if (parsed.defaults) showDefaultLimits(state, form);
        for (const auto& [box, value] : changes) form.setText(box, value);
        return saveLimitsToTester(state, form);
    });
}

}  // namespace ksx4::ctl
