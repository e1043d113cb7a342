#include "archive/sqlite_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QStorageInfo>
#include <QTemporaryFile>

namespace ksx4::archive {

std::optional<QString> unwritableSqliteFile(const QString& path) {
    const QFileInfo file(path);
    if (!file.exists()) return std::nullopt;  // SQLite names what keeps it from making one
    if (!file.isWritable()) return QStringLiteral("the file is read-only");
    if (QFileInfo::exists(path + QStringLiteral("-wal")) &&
        QFileInfo::exists(path + QStringLiteral("-shm")))
        return std::nullopt;
    // Trying is the one portable answer (modes, access lists, read-only
    // mounts, capabilities).
    QTemporaryFile probe(path + QStringLiteral(".probe-XXXXXX"));
    if (probe.open()) return std::nullopt;
    return QStringLiteral("cannot make the archive's -wal and -shm files in %1: %2")
        .arg(QDir::toNativeSeparators(file.absolutePath()), probe.errorString());
}

QString sqliteFailureText(const QSqlError& error, const QString& path) {
    constexpr int kSqliteIoError = 10;  // extended codes keep it in their low byte
    constexpr qint64 kNoRoom = 1024 * 1024;
    QString text = error.text();
    if ((error.nativeErrorCode().toInt() & 0xff) != kSqliteIoError) return text;
    const QStorageInfo disk(QFileInfo(path).absolutePath());
    if (disk.isValid() && disk.bytesAvailable() < kNoRoom)
        text +=
            QStringLiteral("; its disk is full (%1 KiB free)").arg(disk.bytesAvailable() / 1024);
    return text;
}

}  // namespace ksx4::archive
