#pragma once
// "Transfer Reports  from KSX-4": every stored report becomes a workbook in a
// chosen folder, then the tester is told to erase its reports.
#include <QString>

namespace ksx4 {

struct ProgramState;

// Runs the whole transfer; throws EndProgram where the program ends.
void cmddownloaddata_Click(ProgramState& state);

QString browseForFolder(ProgramState& state, const QString& title);
QString writeReportFiles(ProgramState& state, const QString& folder);
// A full path, "-1" (no usable name; a message has been shown) or "-2"
// (the user cancelled the dialog).
QString chooseReportFileName(ProgramState& state, const QString& name, const QString& folder);

}  // namespace ksx4
