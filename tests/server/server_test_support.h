#pragma once

// Helpers for tests that run the real centeremp-server: start it on a free loopback port, talk
// HTTP to it, and look at its database directly.

#include "server/database_address.h"

#include <QByteArray>
#include <QDateTime>
#include <QProcess>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <ostream>
#include <optional>
#include <vector>

namespace centeremp::servertest {

// QProcess, sockets and the Sql drivers want an application object.
void ensureApplication();

struct HttpReply
{
    int status = 0; // 0: no answer at all
    QByteArray head;
    QByteArray body;
    QByteArray header(const QByteArray &name) const;
};

// One request on a fresh connection to 127.0.0.1. Large bodies are sent after an
// "Expect: 100-continue" handshake, so a refusal before the body arrives is still read.
HttpReply httpRequest(quint16 port, const QByteArray &method, const QByteArray &target, const QByteArray &body = {},
                      const QByteArray &contentType = {}, bool chunked = false);

// The two statement shapes the control sends, and a form field carrying one.
QString insertStatement(qint32 centerId, qint32 employeeId);
QString deleteStatement(qint32 centerId, const std::vector<qint32> &employeeIds);
QByteArray sqlField(const QString &statement); // "SQL=<encoded>&", as the control writes it

class ServerProcess
{
public:
    ~ServerProcess();
    // Starts centeremp-server with these arguments plus --listen 127.0.0.1:0 and waits for
    // its "listening on" line. False (with a gtest failure) when it does not come.
    bool start(const QStringList &arguments);
    quint16 port() const { return port_; }
    QString url() const { return url_; }
    // SIGTERM (or SIGINT), then waits; returns the exit code, -1 when it had to be killed.
    int stop(bool interrupt = false);
    QByteArray standardError();

private:
    std::unique_ptr<QProcess> process_;
    quint16 port_ = 0;
    QString url_;
    QByteArray stderr_;
};

// Runs the server binary to completion (for command-line errors); returns the exit code.
int runServerToExit(const QStringList &arguments, QByteArray *standardError, QByteArray *standardOutput = nullptr);

struct TestEmployee
{
    qint32 id;
    QString name;
    bool active;
};

// A direct connection to the server's database, independent of the server's own code.
class TestDatabase
{
public:
    explicit TestDatabase(const server::DatabaseAddress &address);
    ~TestDatabase();
    bool isOpen() const { return db_.isOpen(); }
    bool isPostgres() const { return postgres_; }
    QSqlDatabase &connection() { return db_; }

    void exec(const QString &sql);
    qint64 count(const QString &sql);
    void addEmployees(const std::vector<TestEmployee> &employees);
    void assign(qint32 centerId, const std::vector<qint32> &employeeIds, const QDateTime &when);
    // Every row of both tables, in key order, as text; equal dumps mean equal tables.
    QString dump();
    std::vector<std::pair<qint32, qint32>> assignments(); // (CenterID, EmployeeID) in key order

private:
    QString name_;
    bool postgres_ = false;
    QSqlDatabase db_;
};

// A running server over a fresh database: a temporary SQLite file, or a new PostgreSQL
// database created next to the one CENTEREMP_TEST_PG names (and dropped afterwards).
class LiveServer
{
public:
    enum class Backend { Sqlite, Postgres };
    ~LiveServer();

    // False when the backend is not available here (PostgreSQL without CENTEREMP_TEST_PG);
    // failures are reported to gtest.
    static bool available(Backend backend);
    bool start(Backend backend, const QStringList &extraArguments = {});
    int stop();

    TestDatabase &db() { return *db_; }
    ServerProcess &process() { return process_; }
    HttpReply get(const QByteArray &target) { return httpRequest(process_.port(), "GET", target); }
    HttpReply post(const QByteArray &body, const QByteArray &contentType = "application/x-www-form-urlencoded")
    {
        return httpRequest(process_.port(), "POST", "/CenterEmployee.asp", body, contentType);
    }

    friend void PrintTo(Backend backend, std::ostream *out)
    {
        *out << (backend == Backend::Sqlite ? "SQLite" : "PostgreSQL");
    }

private:
    Backend backend_ = Backend::Sqlite;
    QTemporaryDir dir_;
    QString postgresDatabase_;
    std::optional<server::DatabaseAddress> adminAddress_;
    std::unique_ptr<TestDatabase> db_;
    ServerProcess process_;
};

} // namespace centeremp::servertest
