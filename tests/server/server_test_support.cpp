#include "server_test_support.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QUrl>

#include <gtest/gtest.h>

namespace centeremp::servertest {

namespace {

// Tests' databases are told apart by the process and a random number below this.
constexpr int databaseNumbers = 1000000;

QString encoded(const QString& text) { return QString::fromUtf8(QUrl::toPercentEncoding(text)); }

// The --db argument for a PostgreSQL database reached over a socket directory or host.
QString postgresUri(const server::DatabaseAddress& address) {
    QString uri = u"postgresql://"_qs + encoded(address.user);
    if (!address.password.isEmpty()) uri += u':' + encoded(address.password);
    uri += u"@/"_qs + address.databaseName + u"?host="_qs + encoded(address.host);
    if (address.port > 0) uri += u"&port="_qs + QString::number(address.port);
    return uri;
}

}  // namespace

LiveServer::~LiveServer() { stop(); }

bool LiveServer::available(Backend backend) {
    return backend == Backend::Sqlite || qEnvironmentVariableIsSet("CENTEREMP_TEST_PG");
}

bool LiveServer::start(Backend backend, const QStringList& extraArguments) {
    backend_ = backend;
    server::DatabaseAddress address;
    QString databaseArgument;
    if (backend == Backend::Sqlite) {
        if (!dir_.isValid()) {
            ADD_FAILURE() << "no temporary directory";
            return false;
        }
        address.kind = server::DatabaseAddress::Kind::Sqlite;
        address.sqlitePath = dir_.filePath(u"centeremp.sqlite"_qs);
        databaseArgument = address.sqlitePath;
    } else {
        const auto uri = createPostgresDatabase(address);
        if (!uri) return false;
        databaseArgument = *uri;
    }
    databaseArgument_ = databaseArgument;
    if (!process_.start(QStringList{u"--db"_qs, databaseArgument} + extraArguments)) return false;
    db_ = std::make_unique<TestDatabase>(address);
    return db_->isOpen();
}

int LiveServer::admin(const QStringList& command, const QByteArray& input, QByteArray* output) {
    QByteArray errors;
    const int code = runServerToExit(QStringList{u"--db"_qs, databaseArgument_} + command, &errors, output, input);
    if (code != 0)
        ADD_FAILURE() << command.join(u' ').toStdString() << ": exit " << code << ": " << errors.toStdString();
    return code;
}

std::optional<QString> LiveServer::createPostgresDatabase(server::DatabaseAddress& address) {
    const auto parsed = server::parseDatabaseAddress(qEnvironmentVariable("CENTEREMP_TEST_PG"));
    if (!std::holds_alternative<server::DatabaseAddress>(parsed)) {
        ADD_FAILURE() << "CENTEREMP_TEST_PG: " << std::get<QString>(parsed).toStdString();
        return std::nullopt;
    }
    adminAddress_ = std::get<server::DatabaseAddress>(parsed);
    // A database of its own, so tests running in parallel never see each other's rows.
    postgresDatabase_ = QStringLiteral("centeremp_server_%1_%2")
                            .arg(QCoreApplication::applicationPid())
                            .arg(QRandomGenerator::global()->bounded(databaseNumbers));
    {
        TestDatabase admin(*adminAddress_);
        if (!admin.isOpen()) return std::nullopt;
        admin.exec(QStringLiteral("CREATE DATABASE %1").arg(postgresDatabase_));
    }
    address = *adminAddress_;
    address.databaseName = postgresDatabase_;
    return postgresUri(address);
}

int LiveServer::stop() {
    const int exitCode = process_.stop();
    db_.reset();
    if (adminAddress_ && !postgresDatabase_.isEmpty()) {
        TestDatabase admin(*adminAddress_);
        admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(postgresDatabase_));
        postgresDatabase_.clear();
    }
    return exitCode;
}

}  // namespace centeremp::servertest
