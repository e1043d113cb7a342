#include "platform/files/durable_file.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ksx4::files {
namespace {

// A short name no other writer picks, next to the target (so the rename
// stays within one file system), unique per process and call.
QString temporaryPathFor(const QString& path, int attempt) {
    static std::atomic<unsigned> counter{0};
    const QFileInfo target(path);
#ifdef _WIN32
    const auto process = static_cast<qulonglong>(GetCurrentProcessId());
#else
    const auto process = static_cast<qulonglong>(getpid());
#endif
    return target.dir().filePath(
        QStringLiteral(".~ksx4-%1-%2-%3.tmp").arg(process).arg(counter.fetch_add(1)).arg(attempt));
}

#ifdef _WIN32

// The system's description of the last error, in the user's language.
WriteFailure lastError() {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString reason = length > 0 ? QString::fromWCharArray(text, static_cast<int>(length)).trimmed()
                                : QStringLiteral("system error %1").arg(code);
    if (text) LocalFree(text);
    return {reason, length > 0};
}

std::optional<WriteFailure> writeWindows(const QString& path, const uint8_t* data,
                                         std::size_t size) {
    const std::wstring target = QDir::toNativeSeparators(path).toStdWString();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring temp =
            QDir::toNativeSeparators(temporaryPathFor(path, attempt)).toStdWString();
        HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return lastError();
        }
        bool ok = true;
        std::size_t done = 0;
        while (ok && done < size) {
            DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
            DWORD written = 0;
            ok = WriteFile(file, data + done, chunk, &written, nullptr) && written > 0;
            done += written;
        }
        ok = ok && FlushFileBuffers(file);
        WriteFailure failure = ok ? WriteFailure{} : lastError();
        CloseHandle(file);
        if (ok && !MoveFileExW(temp.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            ok = false;
            failure = lastError();
        }
        if (!ok) DeleteFileW(temp.c_str());
        return ok ? std::nullopt : std::optional<WriteFailure>(failure);
    }
    return WriteFailure{QStringLiteral("no temporary file could be created"), false};
}

#else

WriteFailure errnoText(int error) {
    return {QString::fromLocal8Bit(std::strerror(error)), true};
}

bool writeAll(int fd, const uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Makes the rename itself durable.
bool syncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot sync folders
    ::close(fd);
    return ok;
}

std::optional<WriteFailure> writePosix(const QString& path, const uint8_t* data, std::size_t size) {
    const QByteArray target = QFile::encodeName(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray temp = QFile::encodeName(temporaryPathFor(path, attempt));
        const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return errnoText(errno);
        }
        int error = 0;
        if (!writeAll(fd, data, size) || ::fsync(fd) != 0) error = errno;
        if (::close(fd) != 0 && error == 0) error = errno;
        if (error == 0 && ::rename(temp.constData(), target.constData()) != 0) error = errno;
        if (error != 0) {
            ::unlink(temp.constData());
            return errnoText(error);
        }
        if (!syncFolder(QFileInfo(path).absolutePath())) return errnoText(errno);
        return std::nullopt;
    }
    return WriteFailure{QStringLiteral("no temporary file could be created"), false};
}

#endif

}  // namespace

bool fileExists(const QString& path) {
    if (path.isEmpty()) return false;
#ifdef _WIN32
    return GetFileAttributesW(QDir::toNativeSeparators(path).toStdWString().c_str()) !=
           INVALID_FILE_ATTRIBUTES;
#else
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
#endif
}

std::optional<WriteFailure> writeFileDurably(const QString& path, const uint8_t* data,
                                             std::size_t size) {
    if (path.isEmpty() || QFileInfo(path).fileName().isEmpty())
        return WriteFailure{QStringLiteral("no file name given"), false};
#ifdef _WIN32
    return writeWindows(path, data, size);
#else
    return writePosix(path, data, size);
#endif
}

}  // namespace ksx4::files
