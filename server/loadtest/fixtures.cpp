#include "server/loadtest/fixtures.h"

#include "server/employee_store.h"
#include "server/harness/http_client.h"
#include "server/password_hash.h"

#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace centeremp::loadtest {

namespace {

// Each operator centre starts with this many employees assigned, spread by two strides.
constexpr qint32 assignedPerCentre = 20;
constexpr qint32 centreStride = 37;
constexpr qint32 employeeStride = 11;

constexpr std::chrono::seconds serverStartWait{20};
constexpr int stopWaitMs = 15000;
constexpr int killWaitMs = 5000;
constexpr int readyPollMs = 100;
constexpr double kibPerMib = 1024;

std::vector<server::SeedAssignment> operatorAssignments(int employees) {
    std::vector<server::SeedAssignment> assignments;
    for (qint32 centre = 1; centre <= operatorCentres; ++centre) {
        for (qint32 k = 0; k < assignedPerCentre; ++k)
            assignments.push_back({centre, 1 + (centre * centreStride + k * employeeStride) % employees});
    }
    const auto key = [](const server::SeedAssignment& a) { return std::pair(a.centerId, a.employeeId); };
    std::sort(assignments.begin(), assignments.end(), [&key](auto a, auto b) { return key(a) < key(b); });
    assignments.erase(
        std::unique(assignments.begin(), assignments.end(), [&key](auto a, auto b) { return key(a) == key(b); }),
        assignments.end());
    return assignments;
}

const QByteArray operatorPassword = "loadtest-password";

QString operatorName(int number) { return QStringLiteral("operator-%1").arg(number); }

}  // namespace

QByteArray signInAs(int number) { return harness::basicAuthorization(operatorName(number).toUtf8(), operatorPassword); }

void fail(const QString& message) {
    std::fprintf(stderr, "centeremp-loadgen: %s\n", qPrintable(message));
    std::exit(1);
}

Database::Database(const QString& adminUri, const QString& name) : ScratchDatabase(adminUri, name) {
    if (!problem().isEmpty()) fail(problem());
}

void Database::seed(int employees, bool assignSome) {
    server::EmployeeStore store(address(), u"loadgen-seed"_qs);
    if (auto problem = store.open()) fail(problem->message);
    std::vector<server::SeedEmployee> people;
    for (qint32 id = 1; id <= employees; ++id) people.push_back({id, QStringLiteral("Employee %1").arg(id), true});
    const auto assignments = assignSome ? operatorAssignments(employees) : std::vector<server::SeedAssignment>{};
    std::vector<server::Centre> centres;
    for (qint32 centre = 1; centre <= operatorCentres; ++centre)
        centres.push_back({centre, QStringLiteral("Centre %1").arg(centre)});
    if (auto problem = store.insertSeed(centres, people, assignments, QDateTime::currentDateTimeUtc()))
        fail(problem->message);
    // One hash for all: each name is still a sign-in of its own that the server verifies.
    const QByteArray hash = server::hashPassword(operatorPassword);
    for (int number = 0; number < operatorAccounts; ++number) {
        if (auto problem = store.addOperator({operatorName(number), hash, true, {}})) fail(problem->message);
    }
}

ServerInstance::ServerInstance(const Options& options, const QString& database) {
    using Clock = std::chrono::steady_clock;
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.setStandardErrorFile(QProcess::nullDevice());  // one line per request is a lot here
    process_.start(options.serverProgram,
                   QStringList{u"--db"_qs, database, u"--listen"_qs, u"127.0.0.1:0"_qs} + options.serverArguments);
    const auto deadline = Clock::now() + serverStartWait;
    while (!process_.canReadLine() && process_.state() != QProcess::NotRunning && Clock::now() < deadline)
        process_.waitForReadyRead(readyPollMs);
    const QByteArray line = process_.readLine().trimmed();
    port_ = quint16(line.mid(line.lastIndexOf(':') + 1).toUInt());
    if (!line.startsWith("listening on http://127.0.0.1:") || port_ == 0)
        fail(u"the server did not start: "_qs + QString::fromUtf8(line));
}

ServerInstance::~ServerInstance() {
    process_.terminate();
    if (!process_.waitForFinished(stopWaitMs)) {
        process_.kill();
        process_.waitForFinished(killWaitMs);
    }
}

double ServerInstance::statusMiB(const QByteArray& field) const {
    QFile status(QStringLiteral("/proc/%1/status").arg(process_.processId()));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.sliced(field.size()).trimmed().split(' ').front().toDouble() / kibPerMib;
    }
    return -1;
}

}  // namespace centeremp::loadtest
