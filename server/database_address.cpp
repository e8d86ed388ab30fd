#include "server/database_address.h"

#include <QByteArray>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace centeremp::server {

namespace {

// libpq settings that may pass through to the driver; the rest of a URI's query is refused so
// that a typo does not silently connect somewhere else.
const QStringList passThroughSettings = {
    QStringLiteral("sslmode"),     QStringLiteral("connect_timeout"), QStringLiteral("application_name"),
    QStringLiteral("sslrootcert"), QStringLiteral("sslcert"),         QStringLiteral("sslkey"),
};

constexpr int maxPort = 65535;

std::variant<int, QString> parsePort(const QString& text) {
    bool ok = false;
    const int port = text.toInt(&ok);
    if (!ok || port < 1 || port > maxPort || text.startsWith(u'+') || text.startsWith(u'-'))
        return QStringLiteral("invalid port \"%1\" in the database URI").arg(text);
    return port;
}

QString percentDecoded(QStringView text) { return QUrl::fromPercentEncoding(text.toUtf8()); }

// An error message, or nothing when the step went well.
using Problem = std::optional<QString>;

Problem setPort(DatabaseAddress& address, const QString& text) {
    auto port = parsePort(text);
    if (auto* error = std::get_if<QString>(&port)) return *error;
    address.port = std::get<int>(port);
    return std::nullopt;
}

// user[:password]
void readUserInfo(DatabaseAddress& address, QStringView userInfo) {
    if (const qsizetype colon = userInfo.indexOf(u':'); colon >= 0) {
        address.user = percentDecoded(userInfo.first(colon));
        address.password = percentDecoded(userInfo.sliced(colon + 1));
    } else {
        address.user = percentDecoded(userInfo);
    }
}

// host[:port], where the host may be an IPv6 literal in brackets.
Problem readHostAndPort(DatabaseAddress& address, QStringView hostAndPort) {
    QStringView hostPart = hostAndPort;
    QStringView portPart;
    if (hostAndPort.startsWith(u'[')) {
        const qsizetype close = hostAndPort.indexOf(u']');
        if (close < 0) return QStringLiteral("unclosed '[' in the database URI host");
        hostPart = hostAndPort.sliced(1, close - 1);
        const QStringView after = hostAndPort.sliced(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(u':')) return QStringLiteral("unexpected text after the host in the database URI");
            portPart = after.sliced(1);
        }
    } else if (const qsizetype colon = hostAndPort.lastIndexOf(u':'); colon >= 0) {
        hostPart = hostAndPort.first(colon);
        portPart = hostAndPort.sliced(colon + 1);
    }
    address.host = percentDecoded(hostPart);
    if (portPart.isEmpty()) return std::nullopt;
    return setPort(address, portPart.toString());
}

// [user[:password]@][host][:port][/dbname]
Problem readAuthorityAndPath(DatabaseAddress& address, QStringView rest) {
    QStringView authority = rest;
    if (const qsizetype slash = rest.indexOf(u'/'); slash >= 0) {
        authority = rest.first(slash);
        address.databaseName = percentDecoded(rest.sliced(slash + 1));
        if (address.databaseName.contains(u'/'))
            return QStringLiteral("the database URI has more than one path segment");
    }
    if (const qsizetype at = authority.lastIndexOf(u'@'); at >= 0) {
        readUserInfo(address, authority.first(at));
        authority = authority.sliced(at + 1);
    }
    return readHostAndPort(address, authority);
}

// One key=value of the query: a connection field, or a libpq setting passed to the driver.
Problem readSetting(DatabaseAddress& address, const QString& key, const QString& value, QStringList& passedOn) {
    if (key == u"host") {
        address.host = value;
    } else if (key == u"port") {
        return setPort(address, value);
    } else if (key == u"user") {
        address.user = value;
    } else if (key == u"password") {
        address.password = value;
    } else if (key == u"dbname") {
        address.databaseName = value;
    } else if (passThroughSettings.contains(key)) {
        // The driver joins these into a libpq connection string without quoting.
        for (QChar c : value) {
            if (c.isSpace() || c == u';' || c == u'\'' || c == u'\\')
                return QStringLiteral("unsupported character in database URI setting \"%1\"").arg(key);
        }
        passedOn << key + u'=' + value;
    } else {
        return QStringLiteral(
                   "unknown setting \"%1\" in the database URI (accepted: host, port, user, "
                   "password, dbname, %2)")
            .arg(key, passThroughSettings.join(QStringLiteral(", ")));
    }
    return std::nullopt;
}

// The query after '?': settings joined by '&', each overriding what the URI said before it.
Problem readQuery(DatabaseAddress& address, QStringView query) {
    QStringList passedOn;
    for (QStringView setting : query.split(u'&', Qt::SkipEmptyParts)) {
        const qsizetype equals = setting.indexOf(u'=');
        if (equals <= 0) return QStringLiteral("malformed setting \"%1\" in the database URI").arg(setting);
        const QString key = percentDecoded(setting.first(equals));
        if (auto problem = readSetting(address, key, percentDecoded(setting.sliced(equals + 1)), passedOn))
            return problem;
    }
    address.connectOptions = passedOn.join(u';');
    return std::nullopt;
}

std::variant<DatabaseAddress, QString> parsePostgresUri(const QString& text, qsizetype schemeEnd) {
    DatabaseAddress address;
    address.kind = DatabaseAddress::Kind::Postgres;
    QStringView rest = QStringView(text).sliced(schemeEnd);
    QStringView query;
    if (const qsizetype q = rest.indexOf(u'?'); q >= 0) {
        query = rest.sliced(q + 1);
        rest = rest.first(q);
    }
    if (auto problem = readAuthorityAndPath(address, rest)) return *problem;
    if (auto problem = readQuery(address, query)) return *problem;
    return address;
}

}  // namespace

QString DatabaseAddress::describe() const {
    if (kind == Kind::Sqlite) return QStringLiteral("SQLite file %1").arg(sqlitePath);
    QString where = host.isEmpty() ? QStringLiteral("the default socket") : host;
    if (port > 0) where += QStringLiteral(" port %1").arg(port);
    return QStringLiteral("PostgreSQL database \"%1\" on %2 as %3")
        .arg(databaseName.isEmpty() ? QStringLiteral("(default)") : databaseName, where,
             user.isEmpty() ? QStringLiteral("(default user)") : user);
}

std::variant<DatabaseAddress, QString> parseDatabaseAddress(const QString& text) {
    if (text.isEmpty()) return QStringLiteral("the database location is empty");
    for (const QStringView scheme : {QStringView(u"postgresql://"), QStringView(u"postgres://")}) {
        if (text.startsWith(scheme, Qt::CaseInsensitive)) return parsePostgresUri(text, scheme.size());
    }
    if (const qsizetype colon = text.indexOf(u"://"); colon > 0) {
        return QStringLiteral("unsupported database URI scheme \"%1\" (use a SQLite file path or postgresql://...)")
            .arg(text.first(colon));
    }
    DatabaseAddress address;
    address.kind = DatabaseAddress::Kind::Sqlite;
    address.sqlitePath = text;
    return address;
}

}  // namespace centeremp::server
