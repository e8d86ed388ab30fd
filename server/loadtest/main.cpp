// centeremp-loadgen: drives centeremp-server instances with simulated operators on loopback and
// prints what they saw. It creates its own databases, starts the servers itself and stops them.

#include "server/database_address.h"
#include "server/employee_store.h"
#include "server/loadtest/http_client.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace centeremp;
using namespace centeremp::loadtest;
using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

namespace {

struct Options
{
    QString serverProgram;
    QString postgresUri; // an existing database on the cluster; ours are created beside it
    QList<int> levels{10, 50, 200};
    int seconds = 8;
    QStringList serverArguments; // passed to every instance, e.g. --threads 4
    QStringList phases{u"operators"_qs, u"crowd"_qs, u"batches"_qs};
};

constexpr int operatorEmployees = 1000;
constexpr int operatorCentres = 100;
constexpr qint32 largest = 32767;

void fail(const QString &message)
{
    std::fprintf(stderr, "centeremp-loadgen: %s\n", qPrintable(message));
    std::exit(1);
}

QByteArray insertField(qint32 centre, qint32 employee)
{
    return "SQL=INSERT+INTO+CenterEmployeeCrossReference+%28CenterID%2CEmployeeID%2CRecordLastUpdated%29+VALUES+%28" +
           QByteArray::number(centre) + "%2C" + QByteArray::number(employee) + "%2CGETDATE%28%29%29+&";
}

QByteArray deleteField(qint32 centre, qint32 first, qint32 count)
{
    QByteArray field = "SQL=DELETE+FROM+CenterEmployeeCrossReference+WHERE+CenterID%3D" + QByteArray::number(centre) +
                       "+AND+EmployeeID+IN%28";
    for (qint32 id = first; id < first + count; ++id)
        field += QByteArray::number(id) + (id + 1 < first + count ? "%2C" : "");
    return field + "%29&";
}

// ---- databases and server processes ----

class Database
{
public:
    // A fresh PostgreSQL database next to the one the URI names, or a SQLite file in a folder
    // of our own when the URI is empty.
    Database(const QString &adminUri, const QString &name) : adminUri_(adminUri), name_(name)
    {
        if (adminUri.isEmpty()) {
            argument_ = dir_.filePath(name + u".sqlite"_qs);
            return;
        }
        adminExec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
        adminExec(QStringLiteral("CREATE DATABASE %1").arg(name));
        QUrl url(adminUri);
        url.setPath(u'/' + name);
        argument_ = url.toString();
    }
    ~Database()
    {
        if (!adminUri_.isEmpty())
            adminExec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name_));
    }
    QString argument() const { return argument_; }

    void seed(int employees, bool assignSome)
    {
        const auto address = std::get<server::DatabaseAddress>(server::parseDatabaseAddress(argument_));
        server::EmployeeStore store(address, u"loadgen-seed"_qs);
        if (auto problem = store.open())
            fail(problem->message);
        std::vector<server::SeedEmployee> people;
        for (qint32 id = 1; id <= employees; ++id)
            people.push_back({id, QStringLiteral("Employee %1").arg(id), true});
        std::vector<server::SeedAssignment> assignments;
        for (qint32 centre = 1; assignSome && centre <= operatorCentres; ++centre) {
            for (qint32 k = 0; k < 20; ++k)
                assignments.push_back({centre, 1 + (centre * 37 + k * 11) % employees});
        }
        std::sort(assignments.begin(), assignments.end(),
                  [](auto a, auto b) { return std::pair(a.centerId, a.employeeId) < std::pair(b.centerId, b.employeeId); });
        assignments.erase(std::unique(assignments.begin(), assignments.end(),
                                      [](auto a, auto b) { return a.centerId == b.centerId && a.employeeId == b.employeeId; }),
                          assignments.end());
        if (auto problem = store.insertSeed(people, assignments, QDateTime::currentDateTimeUtc()))
            fail(problem->message);
    }

private:
    void adminExec(const QString &sql)
    {
        const auto address = std::get<server::DatabaseAddress>(server::parseDatabaseAddress(adminUri_));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_qs, u"loadgen-admin"_qs);
            db.setHostName(address.host);
            if (address.port > 0)
                db.setPort(address.port);
            db.setUserName(address.user);
            db.setPassword(address.password);
            db.setDatabaseName(address.databaseName);
            if (!db.open())
                fail(u"admin connection: "_qs + db.lastError().text());
            QSqlQuery query(db);
            if (!query.exec(sql))
                fail(sql + u": "_qs + query.lastError().text());
        }
        QSqlDatabase::removeDatabase(u"loadgen-admin"_qs);
    }

    QTemporaryDir dir_;
    QString adminUri_;
    QString name_;
    QString argument_;
};

class ServerInstance
{
public:
    ServerInstance(const Options &options, const QString &database)
    {
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.setStandardErrorFile(QProcess::nullDevice()); // one line per request is a lot here
        process_.start(options.serverProgram,
                        QStringList{u"--db"_qs, database, u"--listen"_qs, u"127.0.0.1:0"_qs} + options.serverArguments);
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (!process_.canReadLine() && process_.state() != QProcess::NotRunning && Clock::now() < deadline)
            process_.waitForReadyRead(100);
        const QByteArray line = process_.readLine().trimmed();
        port_ = quint16(line.mid(line.lastIndexOf(':') + 1).toUInt());
        if (!line.startsWith("listening on http://127.0.0.1:") || port_ == 0)
            fail(u"the server did not start: "_qs + QString::fromUtf8(line));
    }
    ~ServerInstance()
    {
        process_.terminate();
        if (!process_.waitForFinished(15000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    quint16 port() const { return port_; }

    // The most memory the process has held so far (VmHWM), in MiB.
    double peakMiB() const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(process_.processId()));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').front().toDouble() / 1024;
        }
        return -1;
    }

private:
    QProcess process_;
    quint16 port_ = 0;
};

// ---- measuring ----

struct Tally
{
    std::mutex mutex;
    std::vector<double> millis;
    long errors = 0;
    std::string firstError;

    void add(const Reply &reply, double ms)
    {
        std::lock_guard lock(mutex);
        millis.push_back(ms);
        if (reply.status != 200) {
            ++errors;
            if (firstError.empty())
                firstError = reply.status ? "status " + std::to_string(reply.status) : reply.error;
        }
    }
    double percentile(double p)
    {
        if (millis.empty())
            return 0;
        std::sort(millis.begin(), millis.end());
        return millis[std::min(millis.size() - 1, std::size_t(p * double(millis.size())))];
    }
};

Reply timed(HttpClient &client, Tally &tally, const QByteArray &method, const QByteArray &target,
            const QByteArray &body = {}, bool keepAlive = true)
{
    const auto start = Clock::now();
    Reply reply = client.request(method, target, body, keepAlive);
    tally.add(reply, Millis(Clock::now() - start).count());
    return reply;
}

// One operator: load a centre, commit one small change, again; every fifth cycle on a new
// connection, the rest on the kept-alive one. Bounded by the deadline and by a cycle count.
void operatorLoop(quint16 port, int number, Clock::time_point deadline, Tally &tally)
{
    HttpClient client(port);
    for (int cycle = 0; cycle < 100000 && Clock::now() < deadline; ++cycle) {
        const qint32 centre = 1 + (number * 7 + cycle) % operatorCentres;
        const qint32 employee = 1 + (number * 13 + cycle * 31) % operatorEmployees;
        const bool fresh = cycle % 5 == 4;
        timed(client, tally, "GET", "/CenterEmployee.asp?centerID=" + QByteArray::number(centre));
        const QByteArray body = cycle % 2 ? deleteField(centre, employee, 1) : insertField(centre, employee);
        timed(client, tally, "POST", "/CenterEmployee.asp", body, !fresh);
    }
}

void runLevel(const std::vector<quint16> &ports, int operators, int seconds)
{
    Tally tally;
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::seconds(seconds);
    std::vector<std::thread> threads;
    for (int i = 0; i < operators; ++i) // round robin, as a load balancer would
        threads.emplace_back(operatorLoop, ports[std::size_t(i) % ports.size()], i, deadline, std::ref(tally));
    for (auto &thread : threads)
        thread.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("  %3d operators, %zu instance(s): %7.0f requests/s  p50 %6.1f ms  p99 %6.1f ms  errors %ld%s%s\n",
                operators, ports.size(), double(tally.millis.size()) / elapsed, tally.percentile(0.5),
                tally.percentile(0.99), tally.errors, tally.firstError.empty() ? "" : "  first: ",
                tally.firstError.c_str());
    std::fflush(stdout);
}

// 1000 hosts that loaded their centre and keep the connection open, 100 clients that send
// their request head one byte at a time; meanwhile new operators load and commit.
void runCrowd(quint16 port, int idleHosts, int slowSenders)
{
    std::vector<std::unique_ptr<HttpClient>> idle;
    int idleLoaded = 0;
    const auto idleDeadline = Clock::now() + std::chrono::seconds(20);
    for (int i = 0; i < idleHosts && Clock::now() < idleDeadline; ++i) {
        idle.push_back(std::make_unique<HttpClient>(port, std::chrono::seconds(3)));
        idleLoaded += idle.back()->request("GET", "/CenterEmployee.asp?centerID=" + QByteArray::number(1 + i % 100))
                              .status == 200;
    }
    std::atomic<bool> stop{false};
    std::thread trickle([&] {
        std::vector<std::unique_ptr<HttpClient>> slow;
        std::string error;
        for (int i = 0; i < slowSenders; ++i) {
            slow.push_back(std::make_unique<HttpClient>(port));
            slow.back()->connectOnly(&error);
        }
        const QByteArray head = "GET /CenterEmployee.asp?centerID=1 HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
        for (int step = 0; !stop && step < 600; ++step) { // at most a minute
            for (auto &client : slow)
                client->sendRaw(head.mid(std::min<qsizetype>(step, head.size() - 1), 1));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Tally tally;
    for (int i = 0; i < 10; ++i) {
        HttpClient newcomer(port);
        timed(newcomer, tally, "GET", "/CenterEmployee.asp?centerID=" + QByteArray::number(1 + i));
        timed(newcomer, tally, "POST", "/CenterEmployee.asp", insertField(1 + i, 500 + i));
    }
    stop = true;
    trickle.join();
    std::printf("  %d idle keep-alive hosts (%d loaded), %d slow senders: a new operator's requests "
                "max %.1f ms, p50 %.1f ms, errors %ld%s%s\n",
                idleHosts, idleLoaded, slowSenders, tally.percentile(1.0), tally.percentile(0.5), tally.errors,
                tally.firstError.empty() ? "" : "  first: ", tally.firstError.c_str());
    std::fflush(stdout);
}

// The largest batch, alone or with small requests from another operator while it runs.
void runLargeBatch(quint16 port, const char *label, const QByteArray &body, bool probing)
{
    std::atomic<bool> done{!probing};
    Tally feeds;
    Tally refusals;
    // Two operators meanwhile, each on its own: one loading a centre, one whose request the
    // server answers without the database (it shows the serving itself).
    std::thread feeder([&] {
        HttpClient client(port);
        while (!done) {
            timed(client, feeds, "GET", "/CenterEmployee.asp?centerID=1");
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    std::thread prober([&] {
        while (!done) {
            HttpClient fresh(port);
            timed(fresh, refusals, "GET", "/CenterEmployee.asp?centerID=x");
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    HttpClient client(port, std::chrono::seconds(120));
    const auto start = Clock::now();
    const Reply reply = client.request("POST", "/CenterEmployee.asp", body);
    const double ms = Millis(Clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    done = true;
    feeder.join();
    prober.join();
    refusals.errors = 0; // those are 400s on purpose
    if (!probing) {
        std::printf("  %s alone: %.0f ms, status %d \"%s\"\n", label, ms, reply.status,
                    reply.body.left(40).trimmed().constData());
        return;
    }
    std::printf("  %s: %.0f ms, status %d \"%s\"; meanwhile a feed GET max %.1f ms (%zu), a small GET max %.1f ms "
                "(%zu)\n",
                label, ms, reply.status, reply.body.left(40).trimmed().constData(), feeds.percentile(1.0),
                feeds.millis.size(), refusals.percentile(1.0), refusals.millis.size());
    std::fflush(stdout);
}

// Bodies just under the 16 MiB limit built to cost the most to decode.
void runHostileBodies(const ServerInstance &server)
{
    const qsizetype limit = 16 * 1024 * 1024 - 16;
    const QByteArray bodies[] = {QByteArray("a=&").repeated(limit / 3), QByteArray("SQL=&").repeated(limit / 5),
                                 "SQL=" + QByteArray(limit, '1'), insertField(7, 1).repeated(limit / insertField(7, 1).size())};
    const char *names[] = {"a=& repeated", "SQL=& repeated", "one 16 MiB field", "INSERT fields beyond 32767"};
    const double before = server.peakMiB();
    for (int i = 0; i < 4; ++i) {
        HttpClient client(server.port(), std::chrono::seconds(30));
        const Reply reply = client.request("POST", "/CenterEmployee.asp", bodies[i]);
        std::printf("  16 MiB hostile body (%s): status %d; server peak memory %.0f MiB -> %.0f MiB\n", names[i],
                    reply.status, before, server.peakMiB());
    }
    std::fflush(stdout);
}

void batchPhase(const Options &options, const QString &adminUri, const char *backend)
{
    std::printf("largest batches on %s (%d employees):\n", backend, largest);
    Database database(adminUri, u"centeremp_load_batch"_qs);
    database.seed(largest, false);
    ServerInstance server(options, database.argument());
    QByteArray inserts;
    for (qint32 id = largest; id >= 1; --id)
        inserts += insertField(7, id);
    for (bool probing : {false, true}) {
        runLargeBatch(server.port(), "32767 INSERTs", inserts, probing);
        runLargeBatch(server.port(), "DELETE of 32767 IDs", deleteField(7, 1, largest), probing);
    }
    runHostileBodies(server);
}

void operatorPhase(const Options &options)
{
    Database database(options.postgresUri, u"centeremp_load"_qs);
    database.seed(operatorEmployees, true);
    ServerInstance first(options, database.argument());
    ServerInstance second(options, database.argument());
    std::printf("operators on PostgreSQL (%d employees, %d centres), %d s per level:\n", operatorEmployees,
                operatorCentres, options.seconds);
    if (options.phases.contains(u"operators"_qs)) {
        for (int level : options.levels)
            runLevel({first.port(), second.port()}, level, options.seconds);
        for (int level : options.levels)
            runLevel({first.port()}, level, options.seconds);
    }
    if (options.phases.contains(u"crowd"_qs))
        runCrowd(first.port(), 1000, 100);
}

Options parseOptions(const QStringList &arguments)
{
    Options options;
    for (qsizetype i = 0; i + 1 < arguments.size(); i += 2) {
        const QString &name = arguments[i];
        const QString &value = arguments[i + 1];
        if (name == u"--server")
            options.serverProgram = value;
        else if (name == u"--pg")
            options.postgresUri = value;
        else if (name == u"--seconds")
            options.seconds = std::clamp(value.toInt(), 1, 120);
        else if (name == u"--phases")
            options.phases = value.split(u',');
        else if (name == u"--threads")
            options.serverArguments << u"--threads"_qs << value;
        else if (name == u"--levels") {
            options.levels.clear();
            for (const QString &level : value.split(u','))
                options.levels << std::clamp(level.toInt(), 1, 1000);
        } else
            fail(u"unknown argument "_qs + name);
    }
    if (options.serverProgram.isEmpty() || options.postgresUri.isEmpty())
        fail(u"usage: centeremp-loadgen --server PATH --pg postgresql://... [--seconds N] [--levels 10,50,200] "
             "[--threads N] [--phases operators,crowd,batches]"_qs);
    return options;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const Options options = parseOptions(app.arguments().mid(1));
    if (options.phases.contains(u"operators"_qs) || options.phases.contains(u"crowd"_qs))
        operatorPhase(options);
    if (options.phases.contains(u"batches"_qs)) {
        batchPhase(options, options.postgresUri, "PostgreSQL");
        batchPhase(options, QString(), "SQLite");
    }
    return 0;
}
