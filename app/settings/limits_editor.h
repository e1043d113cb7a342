#pragma once
// frmLimits "Set OK/BAD Limits": the handlers of its menu entry and its four
// buttons. Each runs one whole operation through the form it is given.
#include "core/outcome.h"
#include "settings/limits_form.h"

#include <QLocale>
#include <QString>

#include <optional>

namespace ksx4 {

struct ProgramState;

inline const QString kLimitsTitle = QStringLiteral("Set OK/BAD Limits");

// mnuOKBADLimits_Click: reads the tester, fills the boxes, shows the editor.
// Ends the program when the tester cannot be opened or read.
void mnuOKBADLimits_Click(ProgramState& state, LimitsForm& form);
// "Show Default Limits": the defaults into the boxes; nothing goes to the
// tester.
void showDefaultLimits(ProgramState& state, LimitsForm& form);
// "Read Limits from KSX-4".
void readLimitsFromTester(ProgramState& state, LimitsForm& form);
// "Save Limits to KSX-4": checks every box, then writes the nine limits.
// Done once all nine are written (the editor is then hidden); Refused when a
// check stopped it (nothing written); Failed when a value could not be
// formatted (the limits before it stay written). A failed write ends the
// program.
Outcome saveLimitsToTester(ProgramState& state, LimitsForm& form);
// "Cancel": hides the editor, writes nothing.
void cancelLimitsEditor(ProgramState& state, LimitsForm& form);

// A box's number in the number format; nullopt when the text is no finite
// number (an empty box included).
std::optional<double> readLimitNumber(const QString& text, const QLocale& numberFormat);

}  // namespace ksx4
