#include "archive/archive_location.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QUrlQuery>

namespace ksx4::archive {

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
    // A socket folder goes into the query, as libpq writes it.
    const bool socketFolder = host.startsWith(u'/');
    if (!host.isEmpty() && !socketFolder) text += host;
    if (port) text += u':' + QString::number(*port);
    text += u'/' + QString::fromUtf8(QUrl::toPercentEncoding(databaseName));
    if (socketFolder) text += QStringLiteral("?host=") + host;
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
    if (location.databaseName.isEmpty() || location.databaseName.contains(u'/'))
        return QStringLiteral("a postgresql:// URI needs one database name after the host");
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("host")) {
            location.host = value;
        } else {
            return QStringLiteral("unknown parameter in the postgresql:// URI: ") + key;
        }
    }
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
