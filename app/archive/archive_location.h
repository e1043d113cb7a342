#pragma once
// Where the archive lives: an SQLite file, a PostgreSQL database, or none.
// Resolved from a command line option, else the environment variable
// KSX4_ARCHIVE, else the default SQLite file in the user's data folder.
#include <QMap>
#include <QString>

#include <optional>
#include <variant>

namespace ksx4::archive {

struct ArchiveLocation {
    enum class Engine { None, Sqlite, Postgres };
    Engine engine = Engine::None;
    QString path;  // Sqlite: the database file, absolute

    // Postgres: the parts of postgresql://[user[:password]@][host][:port]/dbname
    // [?host=SOCKET_FOLDER&PARAMETER=VALUE...]. An empty part is left to
    // libpq (PGUSER, PGPASSWORD, ~/.pgpass, PGHOST, a service file, ...).
    // An IPv6 host is held without its brackets.
    QString user, password, host, databaseName;
    std::optional<int> port;
    // libpq connection parameters from the query (kConnectionParameters),
    // none of them secret; passed to libpq as given.
    QMap<QString, QString> parameters;

    bool isNone() const { return engine == Engine::None; }
    // For messages, status lines and --verbose: the file path, or the URI
    // without any password; "none" for no archive.
    QString displayText() const;
};

inline constexpr const char* kArchiveEnvironment = "KSX4_ARCHIVE";

// The libpq connection parameters a postgresql:// URI may carry besides
// host: encryption and the server's verification, a service file entry,
// how long to wait for a connection, the name the server's sessions show.
inline constexpr const char* kConnectionParameters[] = {
    "sslmode", "sslrootcert",     "sslcert",         "sslkey",
    "service", "connect_timeout", "application_name"};

// LOCATION as given: "none", a postgresql:// or postgres:// URI, or a file
// path (relative to the working folder). The problem text for a URI that
// does not parse.
std::variant<ArchiveLocation, QString> parseArchiveLocation(const QString& text);

// $XDG_DATA_HOME/ksx4-assistant/archive.sqlite, with ~/.local/share where
// XDG_DATA_HOME is unset or empty.
QString defaultArchivePath();

// option (--archive) when given, else KSX4_ARCHIVE when set and not empty,
// else the default file.
std::variant<ArchiveLocation, QString> resolveArchiveLocation(const std::optional<QString>& option);

}  // namespace ksx4::archive
