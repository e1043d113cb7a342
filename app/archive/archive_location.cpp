#include "archive/archive_location.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

#include <optional>

namespace ksx4::archive {

namespace {

// A query value as a URI holds it: readable paths, and no character that
// would end the value or the query early.
QString queryValue(const QString& value) {
    return QString::fromUtf8(QUrl::toPercentEncoding(value, "/:~"));
}

bool knownParameter(const QString& key) {
    for (const char* known : kConnectionParameters)
        if (key == QLatin1String(known)) return true;
    return false;
}

// The problem with a parameter's value, found before libpq sees it.
std::optional<QString> parameterProblem(const QString& key, const QString& value) {
    // Qt SQL hands the connection options on with every ';' turned into a
    // space, and libpq's connection string ends at a NUL.
    for (const QChar c : value) {
        if (c == u';' || c.category() == QChar::Other_Control) {
            return QStringLiteral(
                       "the %1 in the postgresql:// URI holds a semicolon or a "
                       "control character, which cannot reach the server's library")
                .arg(key);
        }
    }
    if (key == QLatin1String("sslmode")) {
        static const QStringList modes{"disable", "allow",     "prefer",
                                       "require", "verify-ca", "verify-full"};
        if (!modes.contains(value)) {
            return QStringLiteral("sslmode in the postgresql:// URI is one of ") +
                   modes.join(QStringLiteral(", "));
        }
    }
    if (key == QLatin1String("connect_timeout")) {
        bool number = false;
        const int seconds = value.toInt(&number);
        if (!number || seconds < 0)
            return QStringLiteral("connect_timeout in the postgresql:// URI is whole seconds");
    }
    return std::nullopt;
}

}  // namespace

QString ArchiveLocation::displayText() const {
    switch (engine) {
        case Engine::None:
            return QStringLiteral("none");
        case Engine::Sqlite:
            return QDir::toNativeSeparators(path);
        case Engine::Postgres:
            break;
    }
    QString text = QStringLiteral("postgresql://");
    if (!user.isEmpty()) text += QString::fromUtf8(QUrl::toPercentEncoding(user)) + u'@';
    // A socket folder goes into the query, as libpq writes it; an IPv6
    // address in brackets, so that the text can be given again.
    const bool socketFolder = host.startsWith(u'/');
    if (!host.isEmpty() && !socketFolder) {
        text += host.contains(u':')
                    ? u'[' + QString(host).replace(u'%', QStringLiteral("%25")) + u']'
                    : host;
    }
    if (port) text += u':' + QString::number(*port);
    text += u'/' + QString::fromUtf8(QUrl::toPercentEncoding(databaseName));
    QStringList query;
    if (socketFolder) query << QStringLiteral("host=") + queryValue(host);
    for (auto it = parameters.begin(); it != parameters.end(); ++it)
        query << it.key() + u'=' + queryValue(it.value());
    if (!query.isEmpty()) text += u'?' + query.join(u'&');
    return text;
}

std::variant<ArchiveLocation, QString> parseArchiveLocation(const QString& text) {
    ArchiveLocation location;
    if (text == QLatin1String("none")) return location;
    if (!text.startsWith(QLatin1String("postgresql://")) &&
        !text.startsWith(QLatin1String("postgres://"))) {
        if (text.isEmpty()) return QStringLiteral("an empty archive location");
        location.engine = ArchiveLocation::Engine::Sqlite;
        location.path = QFileInfo(text).absoluteFilePath();
        return location;
    }
    const QUrl url(text, QUrl::StrictMode);
    // The problem is named without the text itself: it may hold a password.
    if (!url.isValid()) return QStringLiteral("not a valid postgresql:// URI");
    location.engine = ArchiveLocation::Engine::Postgres;
    location.user = url.userName(QUrl::FullyDecoded);
    location.password = url.password(QUrl::FullyDecoded);
    location.host = url.host(QUrl::FullyDecoded);
    if (url.port() != -1) location.port = url.port();
    location.databaseName = url.path(QUrl::FullyDecoded).mid(1);
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("host")) {
            location.host = value;
        } else if (knownParameter(key)) {
            if (const auto problem = parameterProblem(key, value)) return *problem;
            location.parameters.insert(key, value);
        } else {
            return QStringLiteral("unknown parameter in the postgresql:// URI: ") + key;
        }
    }
    // A service file entry may name the database.
    const bool fromService = location.parameters.contains(QStringLiteral("service"));
    if ((location.databaseName.isEmpty() && !fromService) || location.databaseName.contains(u'/'))
        return QStringLiteral("a postgresql:// URI needs one database name after the host");
    return location;
}

QString defaultArchivePath() {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty()) dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(dataHome + QStringLiteral("/ksx4-assistant/archive.sqlite"));
}

std::variant<ArchiveLocation, QString> resolveArchiveLocation(
    const std::optional<QString>& option) {
    if (option) return parseArchiveLocation(*option);
    const QString fromEnvironment = qEnvironmentVariable(kArchiveEnvironment);
    if (!fromEnvironment.isEmpty()) return parseArchiveLocation(fromEnvironment);
    return parseArchiveLocation(defaultArchivePath());
}

}  // namespace ksx4::archive
