#include "server/harness/scratch_database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <atomic>

namespace centeremp::harness {

namespace {

std::atomic<int> adminConnections{0};

}  // namespace

QSqlDatabase openConnection(const server::DatabaseAddress& address, const QString& connectionName) {
    const bool postgres = address.kind == server::DatabaseAddress::Kind::Postgres;
    QSqlDatabase db = QSqlDatabase::addDatabase(postgres ? u"QPSQL"_qs : u"QSQLITE"_qs, connectionName);
    if (postgres) {
        db.setHostName(address.host);
        if (address.port > 0) db.setPort(address.port);
        db.setUserName(address.user);
        db.setPassword(address.password);
        db.setDatabaseName(address.databaseName);
    } else {
        db.setDatabaseName(address.sqlitePath);
        db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=5000"_qs);
    }
    db.open();
    return db;
}

ScratchDatabase::ScratchDatabase(const QString& adminUri, const QString& name) : adminUri_(adminUri), name_(name) {
    if (adminUri.isEmpty()) {
        if (!dir_.isValid()) {
            problem_ = u"no temporary folder: "_qs + dir_.errorString();
            return;
        }
        argument_ = dir_.filePath(name + u".sqlite"_qs);
    } else {
        problem_ = adminExec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
        if (problem_.isEmpty()) problem_ = adminExec(QStringLiteral("CREATE DATABASE %1").arg(name));
        if (!problem_.isEmpty()) return;
        QUrl url(adminUri);
        url.setPath(u'/' + name);
        argument_ = url.toString();
    }
    const auto parsed = server::parseDatabaseAddress(argument_);
    if (const auto* address = std::get_if<server::DatabaseAddress>(&parsed))
        address_ = *address;
    else
        problem_ = std::get<QString>(parsed);
}

ScratchDatabase::~ScratchDatabase() {
    if (!adminUri_.isEmpty()) adminExec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name_));
}

QString ScratchDatabase::adminExec(const QString& sql) {
    const auto parsed = server::parseDatabaseAddress(adminUri_);
    if (const auto* problem = std::get_if<QString>(&parsed)) return *problem;
    const QString connection = QStringLiteral("scratch-admin-%1").arg(adminConnections.fetch_add(1));
    QString problem;
    {
        QSqlDatabase db = openConnection(std::get<server::DatabaseAddress>(parsed), connection);
        QSqlQuery query(db);
        if (!db.isOpen())
            problem = u"admin connection: "_qs + db.lastError().text();
        else if (!query.exec(sql))
            problem = sql + u": "_qs + query.lastError().text();
    }
    QSqlDatabase::removeDatabase(connection);
    return problem;
}

}  // namespace centeremp::harness
