#include "diagnosis/diagnose.h"

namespace ksx4::diagnosis {

std::vector<Finding> diagnose(const SegmentReading&, const SegmentReading*,
                              std::span<const SegmentReading>) {
    return {};
}

}  // namespace ksx4::diagnosis
