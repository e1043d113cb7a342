#pragma once
// "Transfer Reports  from KSX-4": every stored report becomes a workbook in a
// chosen folder, then the tester is told to erase its reports.
#include <QString>

namespace ksx4 {

struct ProgramState;

// Runs the whole transfer; throws EndProgram where the program ends.
void cmddownloaddata_Click(ProgramState& state);

QString browseForFolder(ProgramState& state, const QString& title);

// One workbook per stored report in folder (which ends in a separator);
// returns the outcome as status text. Once a save refusal has been answered
// with the file dialog, a later spreadsheet failure leaves this function as
// xls::SpreadsheetError, for the transfer operation to handle.
QString writeReportFiles(ProgramState& state, const QString& folder);

// A full path, "-1" (no usable name; a message has been shown) or "-2"
// (the user cancelled the dialog).
QString chooseReportFileName(ProgramState& state, const QString& name, const QString& folder);

// The firmware marker check of a transfer: true when the tester's firmware
// suits its kind (and state.firmwareMarker is set); otherwise the message has
// been shown and the status text set.
bool checkFirmwareMarker(ProgramState& state);

// Ends the spreadsheet work of a transfer: releases the sheet, closes the
// open workbook without saving, quits and releases the application.
void endReportSpreadsheetWork(ProgramState& state);

}  // namespace ksx4
