#include "platform/xls/workbook_file.h"

#include "platform/xls/biff8_writer.h"
#include "platform/xls/compound_file.h"

namespace ksx4::xls {

std::vector<uint8_t> buildWorkbookFile(const Workbook& book) {
    return wrapInCompoundFile(writeBiff8Workbook(book));
}

}  // namespace ksx4::xls
