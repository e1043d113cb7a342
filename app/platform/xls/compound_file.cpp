#include "platform/xls/compound_file.h"

namespace ksx4::xls {

std::vector<uint8_t> wrapInCompoundFile(const std::vector<uint8_t>& stream) {
    return stream;
}

}  // namespace ksx4::xls
