#pragma once
// An SQLite archive file as its user sees it: what keeps the program from
// writing it, in words the user can act on.
#include <QString>

#include <optional>

class QSqlError;

namespace ksx4::archive {

// Why the existing SQLite archive at path cannot be written, found before
// SQLite opens it: the file is read-only, or its folder does not take the
// -wal and -shm files the archive needs beside it. SQLite names both only as
// a read-only database, and beside a read-only file it leaves -shm and -wal
// files as read-only as the file, which keep the archive unwritable after
// the file is made writable again.
std::optional<QString> unwritableSqliteFile(const QString& path);

// SQLite's text for a failed statement, saying so where its I/O error comes
// from a full disk (SQLite names only a full disk met while growing a file).
QString sqliteFailureText(const QSqlError& error, const QString& path);

}  // namespace ksx4::archive
