#include "archive/segment_key.h"

namespace ksx4::archive {

QString segmentKey(const QString& location) { return segmentName(location).toCaseFolded(); }

QString segmentName(const QString& location) { return location.trimmed(); }

}  // namespace ksx4::archive
