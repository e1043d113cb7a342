#pragma once
// Path rules of the platform: the separator, and a folder path that ends in
// exactly one separator so that a file name can be appended to it.
#include <QDir>
#include <QString>

namespace ksx4 {

inline bool isPathSeparator(QChar c) {
    return c == QLatin1Char('/') || c == QDir::separator();
}

// "/out" and "/out//" give "/out/"; a root ("/", "C:\") stays a root.
inline QString withTrailingSeparator(const QString& folder) {
    qsizetype end = folder.size();
    while (end > 0 && isPathSeparator(folder[end - 1])) --end;
    return folder.left(end) + QDir::separator();
}

}  // namespace ksx4
