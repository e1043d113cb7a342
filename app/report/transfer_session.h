#pragma once
// What one report transfer shares between its steps: the spreadsheet
// application with the workbook and sheet being built, and its counters. It
// lives only as long as the transfer.
#include "report/report_copies.h"

#include <cstdint>
#include <memory>

namespace ksx4 {

namespace xls {
class Application;
class Workbook;
class Worksheet;
}  // namespace xls

struct TransferSession {
    // Both out of line: they release the spreadsheet application, whose type
    // is complete only in transfer_session.cpp.
    TransferSession();
    ~TransferSession();
    TransferSession(const TransferSession&) = delete;
    TransferSession& operator=(const TransferSession&) = delete;

    std::unique_ptr<xls::Application> excelApp;
    xls::Workbook* reportWorkbook = nullptr;
    xls::Worksheet* reportSheet = nullptr;
    uint16_t deviceEntryCount = 0;
    uint16_t transferredCount = 0;
    // The copies beside each workbook; none unless the caller sets them.
    ReportCopies copies;
    bool alsoSavePdf = false;  // a PDF of its pages beside each workbook
};

}  // namespace ksx4
