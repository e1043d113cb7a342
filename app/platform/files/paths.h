#pragma once
// Path rules of the platform: the separator, and a folder path that ends in
// exactly one separator so that a file name can be appended to it.
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>

#include <optional>

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

// The folder a file at path would go in, when that folder does not exist
// (a relative path counts from the current folder).
inline std::optional<QString> missingFolderOf(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (QDir(folder).exists()) return std::nullopt;
    return QDir::toNativeSeparators(folder);
}

// Where a save dialog opens: the folder last saved to while it still
// exists, else the user's documents folder, else the home folder; never the
// current folder, which is the program's own and not the user's to write.
inline QString folderToPropose(const QString& lastUsed) {
    if (!lastUsed.isEmpty() && QDir(lastUsed).exists()) return lastUsed;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QDir(documents).exists()) return documents;
    return QDir::homePath();
}

}  // namespace ksx4
