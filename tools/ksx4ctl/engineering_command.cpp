// ksx4ctl engineering: the factory's way to the engineering functions, whose
// menu entries the window never shows. The same handlers as the calibration
// window and the noise procedures, with the console as the operator.
#include "commands.h"
#include "core/main_window_form.h"
#include "ctl_support.h"
#include "engineering/cal_form.h"
#include "engineering/cal_handlers.h"
#include "engineering/noise_calibration.h"
#include "engineering/noise_test.h"
#include "platform/gpib_binding.h"
#include "set_pairs.h"

#include <map>
#include <ostream>
#include <vector>

namespace ksx4::ctl {
namespace {

// The main window as the noise procedures see it: the console has no
// buttons to disable.
class ConsoleMainWindow final : public MainWindowForm {
  public:
    void hideEngineeringEntries() override {}
    void showMainWindow() override {}
};

// One index=value line per box the calibration window shows.
void printBoxes(std::ostream& out, const CalForm& form) {
    const auto walk = cal::tableWalk();
    std::vector<int> boxes(walk.begin(), walk.end());
    boxes.insert(boxes.end(),
                 {cal::kTemperatureBox, cal::kSerialNumberBox, cal::kEraseIndicatorBox});
    for (const int box : boxes) out << box << '=' << form.text(box).toStdString() << '\n';
    out.flush();
}

// Which GPIB library was bound, or why none was: "libgpib.so.0 not found"
// and "no board configured" both end in the same ENEB text otherwise.
void reportGpibLibrary(std::ostream& err, const GpibBinding* gpib, const QString& function) {
    err << "ksx4ctl: GPIB library: ";
    if (!gpib)
        err << "none loaded (engineering " << function.toStdString() << " uses no GPIB)\n";
    else if (!gpib->libraryPath().empty())
        err << gpib->libraryPath() << '\n';
    else if (!gpib->loadError().empty())
        err << "none loaded (" << gpib->loadError() << ")\n";
    else
        err << "none loaded (no GPIB call was made)\n";
}

}  // namespace

const char* const kEngineeringUsage =
    "Usage: ksx4ctl engineering read|defaults [--yes] [--wait SECONDS] [--verbose]\n"
    "       ksx4ctl engineering set INDEX=VALUE... [--yes] [--wait SECONDS] [--verbose]\n"
    "       ksx4ctl engineering noise-calibration|noise-test [--wait SECONDS] [--verbose]\n"
    "\n"
    "The factory's engineering functions. These commands change a tester's\n"
    "calibration and settings: use them only where the tester is calibrated.\n"
    "\n"
    "  read               \"Read EEPROM Data\": prints index=value for every box of\n"
    "                     the calibration window: 0..15, 22..33 and 40..51 the\n"
    "                     calibration table, 58 the temperature, 59 the serial\n"
    "                     number, 60 the erase-all indicator\n"
    "  set INDEX=VALUE... changes the named boxes (INDEX as read prints it) and\n"
    "                     saves them as the window's buttons do: the table boxes\n"
    "                     as \"Save Calibration Data to EEPROM\", then 58, 59 and 60\n"
    "                     as \"Save Temperature, Serial Number and Erase-all\n"
    "                     Indicator to EEPROM\", each word read back and compared;\n"
    "                     no other word is written. A VALUE is a whole number from\n"
    "                     0 to 65535, written as it should read back (\"0500\" is\n"
    "                     refused by the comparison after it was written)\n"
    "  defaults           \"Save Default Data to EEPROM\": the factory report names,\n"
    "                     OK/BAD limits and DC calibration\n"
    "  noise-calibration  the noise level calibration with the signal generator on\n"
    "                     GPIB: writes the noise calibration table, the temperature,\n"
    "                     the serial number and the default data\n"
    "  noise-test         the noise level test with the signal generator\n"
    "\n"
    "Every prompt is answered on standard input, one line each: ok, cancel, yes,\n"
    "no, retry or their first letter for a question, a number for an input box.\n"
    "End of input counts as Cancel. The noise procedures take no --yes: their\n"
    "answers are what the operator reads off the tester.\n"
    "\n"
    "The generator is reached through libgpib.so.0 (the GPIB user library);\n"
    "under ksx4sim run the simulated generator logs every command to\n"
    "TESTER/generator.log. With --verbose, after the USB access library, the\n"
    "last line names the GPIB library bound (\"GPIB library: PATH\") or why\n"
    "none was (\"GPIB library: none loaded (REASON)\"): a missing libgpib.so.0\n"
    "and a missing board both show \"ENEB <No GPIB board>\".\n"
    "\n"
    "Exit status: 0 when the procedure reached its closing status (set:\n"
    "\"Calibration write complete\" or \"EEPROM write complete\" after the last\n"
    "save; noise-test: the tester passed); 1 for any other outcome, a refused\n"
    "value or a failed comparison included, and an ending of the program; 2 for\n"
    "bad arguments (an INDEX that is no box included).\n"
    "\n"
    "On a simulated tester: ksx4sim run TESTER -- ksx4ctl engineering read\n"
    "                       ksx4sim run TESTER -- ksx4ctl engineering set 7=480\n";

int runEngineeringCommand(const QStringList& arguments, CtlContext& context) {
    QString function;
    ConsoleOptions options;
    QList<SetPair> pairs;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (const auto problem = takeCommonOption(arguments, i, options)) {
            if (!problem->isEmpty()) return usageError(context, kEngineeringUsage, *problem);
        } else if (function.isEmpty() && argument == QLatin1String("set")) {
            function = argument;
            if (const auto bad = takeSetPairs(arguments, i, pairs)) {
                return usageError(context, kEngineeringUsage, *bad);
            }
        } else if (function.isEmpty() && !argument.startsWith(QLatin1Char('-'))) {
            function = argument;
        } else {
            return usageError(context, kEngineeringUsage,
                              QStringLiteral("unexpected argument: ") + argument);
        }
    }
    const bool noiseProcedure =
        function == QLatin1String("noise-calibration") || function == QLatin1String("noise-test");
    if (options.yes && noiseProcedure) {
        return usageError(context, kEngineeringUsage,
                          QStringLiteral("--yes cannot answer for the operator's readings"));
    }

    const auto noGpib = [&function](std::ostream& err) {
        reportGpibLibrary(err, nullptr, function);
    };
    if (function == QLatin1String("read")) {
        return runOperation(
            context, options,
            [&context](ProgramState& state) {
                CalTexts form;
                const Outcome outcome = cmdReadCal_Click(state, form);
                printBoxes(context.out, form);
                return outcome;
            },
            noGpib);
    }
    if (function == QLatin1String("set")) {
        std::map<int, QString> changes;
        for (const SetPair& pair : pairs) {
            const int box = pair.name.toInt();
            // Exactly as read prints it: " 7", "+7" and "07" are no box.
            if (QString::number(box) != pair.name || !cal::isBox(box)) {
                return usageError(context, kEngineeringUsage,
                                  QStringLiteral("not a calibration box: ") + pair.name);
            }
            changes[box] = pair.value;
        }
        return runOperation(
            context, options,
            [&changes](ProgramState& state) { return saveCalBoxes(state, changes); }, noGpib);
    }
    if (function == QLatin1String("defaults")) {
        return runOperation(
            context, options,
            [](ProgramState& state) {
                CalTexts form;
                return cmdSaveDefaultData_Click(state, form);
            },
            noGpib);
    }
    if (noiseProcedure) {
        GpibBinding gpib(context.gpibLibrary);
        ConsoleMainWindow window;
        const bool calibration = function == QLatin1String("noise-calibration");
        return runOperation(
            context, options,
            [&](ProgramState& state) {
                return calibration ? mnuManCal_Click(state, window, gpib)
                                   : mnuManTest_Click(state, window, gpib);
            },
            [&](std::ostream& err) { reportGpibLibrary(err, &gpib, function); });
    }
    return usageError(context, kEngineeringUsage,
                      function.isEmpty()
                          ? QStringLiteral("no engineering function given")
                          : QStringLiteral("unknown engineering function: ") + function);
}

}  // namespace ksx4::ctl
