#include "platform/xls/biff8_writer.h"

namespace ksx4::xls {

std::vector<uint8_t> writeBiff8Workbook(const Workbook&) {
    return {};
}

}  // namespace ksx4::xls
