#pragma once

// Helpers for tests that run the real centeremp-server: start it on a free loopback port, talk
// HTTP to it, and look at its database directly. Each job has a header of its own; this one
// brings them together with a server over a fresh database.

#include "server/database_address.h"
#include "server/harness/scratch_database.h"
#include "test_application.h"
#include "test_database.h"
#include "test_http_client.h"
#include "test_server_process.h"
#include "test_statements.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <ostream>

namespace centeremp::servertest {

// A running server over a fresh database: a temporary SQLite file, or a new PostgreSQL
// database created next to the one CENTEREMP_TEST_PG names (and dropped afterwards).
class LiveServer {
public:
    enum class Backend { Sqlite, Postgres };
    ~LiveServer();

    // False when the backend is not available here (PostgreSQL without CENTEREMP_TEST_PG);
    // failures are reported to gtest.
    static bool available(Backend backend);
    bool start(Backend backend, const QStringList& extraArguments = {});
    // Starts the server again on the same database, after a stop or a kill.
    bool restart(const QStringList& extraArguments = {});
    int stop();

    TestDatabase& db() { return *db_; }
    // Runs an administration command (operator add ..., audit ...) on the server's database,
    // with input as its standard input; a failure is reported to gtest. Returns the exit code.
    int admin(const QStringList& command, const QByteArray& input = {}, QByteArray* output = nullptr);
    ServerProcess& process() { return process_; }
    HttpReply get(const QByteArray& target) { return httpRequest(process_.port(), "GET", target); }
    HttpReply post(const QByteArray& body, const QByteArray& contentType = "application/x-www-form-urlencoded") {
        return httpRequest(process_.port(), "POST", "/CenterEmployee.asp", body, contentType);
    }

    friend void PrintTo(Backend backend, std::ostream* out) {
        *out << (backend == Backend::Sqlite ? "SQLite" : "PostgreSQL");
    }

private:
    std::unique_ptr<harness::ScratchDatabase> database_;
    std::unique_ptr<TestDatabase> db_;
    ServerProcess process_;
};

}  // namespace centeremp::servertest
