#include "server_test_support.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace centeremp::servertest {

namespace {

// Tests' databases are told apart by the process and a random number below this.
constexpr int databaseNumbers = 1000000;

}  // namespace

LiveServer::~LiveServer() { stop(); }

bool LiveServer::available(Backend backend) {
    return backend == Backend::Sqlite || qEnvironmentVariableIsSet("CENTEREMP_TEST_PG");
}

bool LiveServer::start(Backend backend, const QStringList& extraArguments) {
    // PostgreSQL: a database of its own, so tests running in parallel never see each other's rows.
    database_ = backend == Backend::Sqlite ? std::make_unique<harness::ScratchDatabase>(QString(), u"centeremp"_qs)
                                           : std::make_unique<harness::ScratchDatabase>(
                                                 qEnvironmentVariable("CENTEREMP_TEST_PG"),
                                                 QStringLiteral("centeremp_server_%1_%2")
                                                     .arg(QCoreApplication::applicationPid())
                                                     .arg(QRandomGenerator::global()->bounded(databaseNumbers)));
    if (!database_->problem().isEmpty()) {
        ADD_FAILURE() << database_->problem().toStdString();
        return false;
    }
    if (!process_.start(QStringList{u"--db"_qs, database_->argument()} + extraArguments)) return false;
    db_ = std::make_unique<TestDatabase>(database_->address());
    return db_->isOpen();
}

bool LiveServer::restart(const QStringList& extraArguments) {
    return process_.start(QStringList{u"--db"_qs, database_->argument()} + extraArguments);
}

int LiveServer::admin(const QStringList& command, const QByteArray& input, QByteArray* output) {
    QByteArray errors;
    const int code = runServerToExit(QStringList{u"--db"_qs, database_->argument()} + command, &errors, output, input);
    if (code != 0)
        ADD_FAILURE() << command.join(u' ').toStdString() << ": exit " << code << ": " << errors.toStdString();
    return code;
}

int LiveServer::stop() {
    const int exitCode = process_.stop();
    db_.reset();
    database_.reset();
    return exitCode;
}

}  // namespace centeremp::servertest
