// centeremp-server: the HTTP service behind the centre employee assignment control.

#include "server/admin_commands.h"
#include "server/center_employee_service.h"
#include "server/command_line.h"
#include "server/demo_data.h"
#include "server/employee_store.h"
#include "server/http_server.h"
#include "server/sign_in_gate.h"
#include "server/tls_files.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QThread>

#include <systemd/sd-daemon.h>

#include <pthread.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

using namespace centeremp::server;

namespace {

// Exit codes: the database or the address could not be used; the command line was wrong.
constexpr int exitCannotServe = 1;
constexpr int exitBadCommandLine = 2;
// A stop that takes longer (a batch waiting for a lock another program never lets go) ends the
// process anyway: the database rolls back what a connection left unfinished. Within the
// service unit's TimeoutStopSec.
constexpr std::chrono::seconds stopBound{25};

void printError(const QString& message) {
    std::fprintf(stderr, "centeremp-server: %s\n", message.toLocal8Bit().constData());
}

// Checks the database and creates its tables before accepting requests, so a wrong --db fails
// at once instead of on the first request; fills it with sample data when asked and it is empty.
bool prepareDatabase(const ServerOptions& options, EmployeeStore& store) {
    if (auto problem = store.open()) {
        printError(problem->message);
        return false;
    }
    if (const auto change = store.schemaChange(); change.from != change.to)
        std::fprintf(stderr, "centeremp-server: the database's schema went from version %d to %d\n", change.from,
                     change.to);
    if (!options.demo) return true;
    auto empty = store.isEmpty();
    if (auto* problem = std::get_if<StoreFailure>(&empty)) {
        printError(problem->message);
        return false;
    }
    if (!std::get<bool>(empty)) {
        std::fprintf(stderr, "centeremp-server: --demo: the database already has data; leaving it as it is\n");
        return true;
    }
    const DemoData demo = makeDemoData();
    if (auto problem =
            store.insertSeed(demo.centres, demo.employees, demo.assignments, QDateTime::currentDateTimeUtc())) {
        printError(problem->message);
        return false;
    }
    std::fprintf(stderr, "centeremp-server: --demo: added %zu employees and %zu centre assignments\n",
                 demo.employees.size(), demo.assignments.size());
    return true;
}

// Blocks the stop signals before the server's threads start, so they inherit the mask and the
// main thread alone receives them in sigwait.
sigset_t blockStopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return stopSignals;
}

// Each worker gets a service of its own, with a database connection named after the worker and
// opened at once: a new connection's first statements are slow, and no operator should wait.
// Without operators nobody signs in, so only this machine may be let in, unless the owner says
// otherwise. Nothing when the server may start.
std::optional<QString> exposureProblem(const ServerOptions& options, EmployeeStore& store, bool* operatorsDefined) {
    auto defined = store.hasOperators();
    if (auto* problem = std::get_if<StoreFailure>(&defined)) return problem->message;
    *operatorsDefined = std::get<bool>(defined);
    if (*operatorsDefined || options.listen.isLoopback() || options.open) return std::nullopt;
    return QStringLiteral(
               "no operator is defined, so anyone who reaches %1 could read and change every centre; add one "
               "first (centeremp-server --db DB operator add NAME --all-centres), or pass --open if that is "
               "intended")
        .arg(options.listen.host);
}

HttpServer::HandlerFactory serviceFactory(const ServerOptions& options, std::shared_ptr<SignInGate> gate,
                                          const Monitoring& monitoring) {
    auto feeds = std::make_shared<FeedCache>();
    return [&options, gate, feeds, monitoring](int worker) -> HttpServer::Handler {
        auto service =
            std::make_shared<CenterEmployeeService>(options.database, QStringLiteral("centeremp-worker-%1").arg(worker),
                                                    gate, &QDateTime::currentDateTimeUtc, feeds, monitoring);
        service->connect();
        return [service](const HttpRequest& request) { return service->handle(request); };
    };
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);  // Qt's SQLite driver is a plugin and needs the application

    const auto readFile = [](const QString& path) -> std::optional<QByteArray> {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
        return file.readAll();
    };
    auto configured = withConfigFile(app.arguments().mid(1), readFile);
    if (const auto* error = std::get_if<CommandLineError>(&configured)) {
        printError(error->message);
        return exitBadCommandLine;
    }
    auto parsed = parseCommandLine(std::get<QStringList>(configured));
    if (std::holds_alternative<HelpRequested>(parsed)) {
        std::fputs(usageText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (const auto* error = std::get_if<CommandLineError>(&parsed)) {
        printError(error->message);
        std::fputs(usageText().toLocal8Bit().constData(), stderr);
        return exitBadCommandLine;
    }
    const auto& options = std::get<ServerOptions>(parsed);
    if (options.admin) return runAdminCommand(options.database, *options.admin, stdin, stdout, stderr);

    std::optional<TlsCredentials> tls;
    if (!options.tlsCertificate.isEmpty()) {
        auto loaded = loadTlsCredentials(options.tlsCertificate, options.tlsKey);
        if (auto* problem = std::get_if<QString>(&loaded)) {
            printError(*problem);
            return exitBadCommandLine;
        }
        tls = std::get<TlsCredentials>(std::move(loaded));
    }

    bool operatorsDefined = false;
    {
        EmployeeStore store(options.database, QStringLiteral("centeremp-startup"));
        if (!prepareDatabase(options, store)) return exitCannotServe;
        if (auto problem = exposureProblem(options, store, &operatorsDefined)) {
            printError(*problem);
            return exitBadCommandLine;
        }
    }

    const sigset_t stopSignals = blockStopSignals();
    const int threads = options.threads > 0 ? options.threads : std::max(1, QThread::idealThreadCount());
    // A PostgreSQL batch mostly waits for its commit to reach the disk, and batches that commit
    // together share one flush; SQLite takes one writer at a time however many wait.
    const int writers = options.database.kind == DatabaseAddress::Kind::Postgres ? 2 * threads : threads;
    HttpLimits limits;
    limits.trustedOrigins = options.trustedOrigins;
    if (options.behindProxy) {
        limits.perClientConnections = 0;
        limits.maxBufferedBytesPerClient = 0;
    }
    // Behind a proxy on this machine every client comes from loopback: then only an operator
    // of all centres reads the metrics.
    const Monitoring monitoring{std::make_shared<ServerMetrics>(), !options.behindProxy};
    HttpServer server(serviceFactory(options, std::make_shared<SignInGate>(), monitoring), threads, writers, limits);
    server.countIn(monitoring.metrics);
    monitoring.metrics->setLoad([&server] { return server.load(); });
    QString error;
    if (!server.start(options.listen, &error, tls ? &*tls : nullptr)) {
        printError(error);
        return exitCannotServe;
    }
    const QByteArray url = options.listen.url(server.port(), tls.has_value()).toLatin1();
    std::printf("listening on %s\n", url.constData());
    std::fflush(stdout);
    // A service manager that started us waits for this (Type=notify); elsewhere it does nothing.
    sd_notifyf(0, "READY=1\nSTATUS=serving on %s", url.constData());
    std::fprintf(stderr, "centeremp-server: using the %s; %d workers load pages and %d save batches\n",
                 options.database.describe().toLocal8Bit().constData(), threads, writers);
    if (!operatorsDefined) {
        std::fprintf(stderr,
                     "centeremp-server: no operator is defined: %s, without sign-in, until one is added "
                     "(operator add)\n",
                     options.listen.isLoopback() ? "only programs on this machine are served"
                                                 : "--open: anyone who reaches the port is served");
    }
    if (!tls)
        std::fprintf(stderr,
                     "centeremp-server: plain HTTP: names and passwords cross the network unencrypted "
                     "unless a TLS proxy is in front (--tls-cert, --tls-key)\n");

    int received = 0;
    sigwait(&stopSignals, &received);
    std::fprintf(stderr, "centeremp-server: %s received, stopping\n", received == SIGINT ? "SIGINT" : "SIGTERM");
    sd_notify(0, "STOPPING=1\nSTATUS=answering the requests received, then stopping");
    std::thread([] {
        std::this_thread::sleep_for(stopBound);
        std::fprintf(stderr, "centeremp-server: not stopped within %lld s; ending with requests unanswered\n",
                     static_cast<long long>(stopBound.count()));
        std::_Exit(exitCannotServe);
    }).detach();
    server.stop();  // answers the requests in progress, then ends the threads and their connections
    return 0;
}
