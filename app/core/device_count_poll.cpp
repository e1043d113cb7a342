#include "core/device_count_poll.h"

#include "platform/link_library.h"

namespace ksx4 {

int32_t pollDeviceCount(LinkLibrary& link, QStringList* log) {
    const QString prefix = QStringLiteral("TessCommGetDeviceCount = ");
    int32_t count = 0;
    for (int poll = 0; poll < kDeviceCountPolls; ++poll) {
        count = link.getDeviceCount();
        if (log) log->append(prefix + QString::number(count));
        if (count == 1) break;
    }
    return count;
}

}  // namespace ksx4
