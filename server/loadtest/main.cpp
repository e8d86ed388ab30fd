// centeremp-loadgen: drives centeremp-server instances with simulated operators on loopback and
// prints what they saw. It creates its own databases, starts the servers itself and stops them.

#include "server/harness/nginx_balancer.h"
#include "server/loadtest/fixtures.h"
#include "server/loadtest/scenarios.h"
#include "support/test_certificates.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cstdio>

using namespace centeremp::loadtest;

namespace {

// Idle keep-alive hosts and slow senders in the crowd phase.
constexpr int crowdIdleHosts = 1000;
constexpr int crowdSlowSenders = 100;
// Operators that run, not counted, before the levels: a server runs all day, so what is
// measured is a database, caches and connections that are in use, not freshly made.
constexpr int warmUpSeconds = 5;
// Bounds of --seconds and of each of --levels.
constexpr int maxSeconds = 120;
constexpr int maxOperators = 1000;

void batchPhase(const Options& options, const QString& adminUri, const char* backend) {
    std::printf("largest batches on %s (%d employees):\n", backend, largest);
    Database database(adminUri, u"centeremp_load_batch"_qs);
    database.seed(largest, false);
    ServerInstance server(options, database.argument());
    QByteArray inserts;
    for (qint32 id = largest; id >= 1; --id) inserts += insertField(7, id);
    for (bool probing : {false, true}) {
        runLargeBatch(server.port(), "32767 INSERTs", inserts, probing);
        runLargeBatch(server.port(), "DELETE of 32767 IDs", deleteField(7, 1, largest), probing);
    }
    runHostileBodies(server);
}

// The same levels through Debian's nginx, which ends TLS and hands the requests round robin to
// both instances, with a certificate made for the run.
void throughNginx(const Options& options, const ServerInstance& first, const ServerInstance& second) {
    TestCertificates certificates;
    if (!certificates.ok()) fail(u"cannot make a certificate: "_qs + certificates.error());
    centeremp::harness::NginxBalancer nginx({first.port(), second.port()}, certificates.serverCert(),
                                            certificates.serverKey());
    if (!nginx.problem().isEmpty()) fail(nginx.problem());
    std::printf("  through nginx (TLS, round robin over both instances):\n");
    const QByteArray authority = QFile::encodeName(certificates.caFile());
    for (int level : options.levels) runLevel({nginx.port()}, level, options.seconds, true, authority);
}

void operatorPhase(const Options& options) {
    Database database(options.postgresUri, u"centeremp_load"_qs);
    database.seed(operatorEmployees, true);
    ServerInstance first(options, database.argument());
    ServerInstance second(options, database.argument());
    std::printf("operators on PostgreSQL (%d employees, %d centres), %d s per level:\n", operatorEmployees,
                operatorCentres, options.seconds);
    if (options.phases.contains(u"operators"_qs)) {
        const int busiest = *std::max_element(options.levels.begin(), options.levels.end());
        std::printf("  (warm-up first: %d operators for %d s on each instance, not counted)\n", busiest, warmUpSeconds);
        // Operators sign in once, at the start of their day: each has done so on both
        // instances before anything is counted. Hundreds of first sign-ins take the servers
        // longer than a level lasts; counted, they would look like a stall of the level after.
        signInAll({first.port(), second.port()}, busiest);
        runLevel({first.port(), second.port()}, busiest, warmUpSeconds, false);
        runLevel({second.port(), first.port()}, busiest, warmUpSeconds, false);
        for (int level : options.levels) runLevel({first.port(), second.port()}, level, options.seconds);
        for (int level : options.levels) runLevel({first.port()}, level, options.seconds);
        if (options.throughNginx) throughNginx(options, first, second);
    }
    if (options.phases.contains(u"crowd"_qs)) runCrowd(first.port(), crowdIdleHosts, crowdSlowSenders);
}

// Attacks on a SQLite database of their own.
void attackPhase(const Options& options) {
    std::printf("attacks on SQLite, %d s each, an honest operator meanwhile:\n", options.seconds);
    Database database(QString(), u"centeremp_attack"_qs);
    database.seed(operatorEmployees, true);
    ServerInstance server(options, database.argument());
    runAttacks(server, options.seconds);
    Database large(QString(), u"centeremp_attack_large"_qs);
    large.seed(largest, false);
    ServerInstance largeServer(options, large.argument());
    runFeedReaders(largeServer.port(), 50, options.seconds);
    runSlowReaders(largeServer, options.seconds);
}

Options parseOptions(const QStringList& arguments) {
    Options options;
    for (qsizetype i = 0; i + 1 < arguments.size(); i += 2) {
        const QString& name = arguments[i];
        const QString& value = arguments[i + 1];
        if (name == u"--server")
            options.serverProgram = value;
        else if (name == u"--pg")
            options.postgresUri = value;
        else if (name == u"--seconds")
            options.seconds = std::clamp(value.toInt(), 1, maxSeconds);
        else if (name == u"--through" && value == u"nginx")
            options.throughNginx = true;
        else if (name == u"--phases")
            options.phases = value.split(u',');
        else if (name == u"--threads")
            options.serverArguments << u"--threads"_qs << value;
        else if (name == u"--levels") {
            options.levels.clear();
            for (const QString& level : value.split(u',')) options.levels << std::clamp(level.toInt(), 1, maxOperators);
        } else
            fail(u"unknown argument "_qs + name);
    }
    const bool postgres = options.phases.contains(u"operators"_qs) || options.phases.contains(u"crowd"_qs) ||
                          options.phases.contains(u"batches"_qs);
    if (options.serverProgram.isEmpty() || (postgres && options.postgresUri.isEmpty()))
        fail(
            u"usage: centeremp-loadgen --server PATH --pg postgresql://... [--seconds N] [--levels 10,50,200] "
            "[--threads N] [--phases operators,crowd,batches,attack] [--through nginx]"_qs);
    return options;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const Options options = parseOptions(app.arguments().mid(1));
    if (options.phases.contains(u"operators"_qs) || options.phases.contains(u"crowd"_qs)) operatorPhase(options);
    if (options.phases.contains(u"batches"_qs)) {
        batchPhase(options, options.postgresUri, "PostgreSQL");
        batchPhase(options, QString(), "SQLite");
    }
    if (options.phases.contains(u"attack"_qs)) attackPhase(options);
    return 0;
}
