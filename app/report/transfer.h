#pragma once
// "Transfer Reports  from KSX-4": every stored report becomes a workbook in a
// chosen folder, then the tester is told to erase its reports.
#include "archive/archive_location.h"
#include "core/file_choice.h"
#include "core/outcome.h"

#include <QString>

#include <optional>
#include <variant>

namespace ksx4 {

struct ProgramState;
struct TransferSession;

// What the user asked for besides the workbooks.
struct TransferOptions {
    bool alsoSavePdf = false;  // NAME.pdf beside each NAME.xls, written as durably
    // The archive the reports go into (or the problem with the one chosen,
    // which keeps them on the tester); none given: the one KSX4_ARCHIVE
    // names, else the default.
    std::optional<std::variant<archive::ArchiveLocation, QString>> archive = std::nullopt;
};

// Runs the whole transfer; throws EndProgram where the program ends. Done
// when every stored report was transferred, and kept in the archive, or none
// was found.
Outcome cmddownloaddata_Click(ProgramState& state, const TransferOptions& options = {});
// The same in a session the caller keeps (tests look at it afterwards),
// with the copies the caller set in session.copies (none by default).
Outcome cmddownloaddata_Click(ProgramState& state, TransferSession& session);

QString browseForFolder(ProgramState& state, const QString& title);

// The end of writeReportFiles, with its status text.
struct ReportFilesOutcome {
    Outcome outcome;
    QString status;
};

// One workbook per stored report in folder (which ends in a separator), and
// its PDF beside it when the session asks for one; a PDF that cannot be
// written fails like its workbook. Once
// a save refusal has been answered with the file dialog, a later spreadsheet
// failure leaves this function as xls::SpreadsheetError, for the transfer
// operation to handle.
ReportFilesOutcome writeReportFiles(ProgramState& state, TransferSession& session,
                                    const QString& folder);

// The save dialog's answer for a report file: a full path, no usable name or
// the user's cancel.
FileChoice chooseReportFileName(ProgramState& state, const QString& name, const QString& folder);

// The firmware marker check of a transfer: true when the tester's firmware
// suits its kind (and state.firmwareMarker is set); otherwise the message has
// been shown and the status text set.
bool checkFirmwareMarker(ProgramState& state);

// A new one-sheet workbook in session.excelApp, as session.reportWorkbook
// with its sheet in session.reportSheet.
void openReportWorkbook(TransferSession& session);

// Ends the spreadsheet work of a transfer: releases the sheet, closes the
// open workbook without saving, quits and releases the application.
void endReportSpreadsheetWork(TransferSession& session);

}  // namespace ksx4
