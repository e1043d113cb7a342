#pragma once
// frmReportNames "Display/Edit Report Names": the handlers of its menu entry
// and its four buttons, and the checks a name passes before it is stored.
#include "core/outcome.h"
#include "settings/report_names_form.h"

#include <QChar>
#include <QString>

#include <optional>

namespace ksx4 {

struct ProgramState;

inline const QString kReportNamesTitle = QStringLiteral("Display/Edit Report Names");

// The text above the list of boxes.
QString reportNamesInstruction();

// mnuReportNames_Click: reads the tester, fills the boxes, shows the editor.
// Ends the program when the tester cannot be opened or read.
void mnuReportNames_Click(ProgramState& state, ReportNamesForm& form);
// "Show Default Names": "Report 1" .. "Report 8"; nothing goes to the tester.
void showDefaultNames(ProgramState& state, ReportNamesForm& form);
// "Read Current Names from KSX-4".
void readNamesFromTester(ProgramState& state, ReportNamesForm& form);
// "Save Report Names to KSX-4": checks the eight names, then writes them,
// starting again from location 1 after a failed write. Done once all eight
// are written (the editor is then hidden); Refused when a check stopped it
// (nothing written). The 81st failed write ends the program.
Outcome saveNamesToTester(ProgramState& state, ReportNamesForm& form);
// "Cancel": hides the editor, writes nothing.
void cancelNamesEditor(ProgramState& state, ReportNamesForm& form);

// True when text contains character anywhere.
bool checkChars(QChar character, const QString& text);

// The message that refuses the name of a location, or nullopt when it can be
// stored: forbidden characters, then empty, then too long, then characters
// the tester's code page lacks.
std::optional<QString> reportNameProblem(int location, const QString& text);

}  // namespace ksx4
