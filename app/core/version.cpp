#include "core/version.h"

#include "version_numbers.h"

namespace ksx4 {

QString versionText(int major, int minor, int patch) {
    return QString::number(major) + QLatin1Char('.') + QString::number(minor) +
           QString::number(patch);
}

QString programVersionText() {
    return versionText(kVersionMajor, kVersionMinor, kVersionPatch);
}

}  // namespace ksx4
