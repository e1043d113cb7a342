#include "report/transfer_session.h"

#include "platform/xls/spreadsheet.h"

namespace ksx4 {

TransferSession::TransferSession() = default;
TransferSession::~TransferSession() = default;

}  // namespace ksx4
