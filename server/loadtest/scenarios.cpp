#include "server/loadtest/scenarios.h"

#include "server/harness/http_client.h"
#include "server/loadtest/fixtures.h"
#include "server/sql_batch.h"

#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace centeremp::loadtest {

namespace {

using Clock = std::chrono::steady_clock;
using harness::HttpClient;
using Reply = harness::HttpReply;
using Millis = std::chrono::duration<double, std::milli>;

struct Tally {
    std::mutex mutex;
    std::vector<double> millis;
    long errors = 0;
    std::string firstError;

    void add(const Reply& reply, double ms) {
        std::lock_guard lock(mutex);
        millis.push_back(ms);
        if (reply.status != 200) {
            ++errors;
            if (firstError.empty()) firstError = reply.status ? "status " + std::to_string(reply.status) : reply.error;
        }
    }
    double percentile(double p) {
        if (millis.empty()) return 0;
        std::sort(millis.begin(), millis.end());
        return millis[std::min(millis.size() - 1, std::size_t(p * double(millis.size())))];
    }
};

// A POST carries a form, as the control sends it.
QByteArray formContent(const QByteArray& method) {
    return method == "POST" ? QByteArrayLiteral("application/x-www-form-urlencoded") : QByteArray();
}

Reply timed(HttpClient& client, Tally& tally, const QByteArray& method, const QByteArray& target,
            const QByteArray& body = {}, bool keepAlive = true) {
    const auto start = Clock::now();
    Reply reply = client.request(method, target, body, {formContent(method), false, keepAlive});
    tally.add(reply, Millis(Clock::now() - start).count());
    return reply;
}

// One operator: load a centre and assign one employee, load it again and take the employee
// back, so the centres keep their size however long the run; every fifth commit on a new
// connection, the rest on the kept-alive one. Bounded by the deadline and by a cycle count.
void operatorLoop(quint16 port, int number, Clock::time_point deadline, Tally& loads, Tally& commits,
                  const QByteArray& tlsAuthority) {
    HttpClient client(port, signInAs(number));
    if (!tlsAuthority.isEmpty()) client.useTls(tlsAuthority);
    for (int cycle = 0; cycle < 100000 && Clock::now() < deadline; ++cycle) {
        const int move = cycle / 2;
        const qint32 centre = 1 + (number * 7 + move) % operatorCentres;
        const qint32 employee = 1 + (number * 13 + move * 31) % operatorEmployees;
        const bool fresh = cycle % 5 == 4;
        timed(client, loads, "GET", "/CenterEmployee.asp?centerID=" + QByteArray::number(centre));
        const QByteArray body = cycle % 2 ? deleteField(centre, employee, 1) : insertField(centre, employee);
        timed(client, commits, "POST", "/CenterEmployee.asp", body, !fresh);
    }
}

// The operators of the crowd and batch phases sign in before anything is timed: a first sign-in
// costs an Argon2 run (tens of milliseconds), which an operator pays once a day, not per request.
void signInFirst(quint16 port) {
    for (int number = 0; number < 3; ++number)
        HttpClient(port, signInAs(number)).request("GET", "/CenterEmployee.asp?centerID=1");
}

}  // namespace

void signInAll(const std::vector<quint16>& ports, int operators) {
    constexpr int clients = 16;
    std::atomic<int> next{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < clients; ++i) {
        threads.emplace_back([&] {
            for (int number; (number = next++) < operators;) {
                const QByteArray target =
                    "/CenterEmployee.asp?centerID=" + QByteArray::number(1 + number * 7 % operatorCentres);
                for (quint16 port : ports)
                    HttpClient(port, signInAs(number), std::chrono::minutes(2)).request("GET", target);
            }
        });
    }
    for (auto& thread : threads) thread.join();
}

QByteArray insertField(qint32 centre, qint32 employee) {
    return "SQL=INSERT+INTO+CenterEmployeeCrossReference+%28CenterID%2CEmployeeID%2CRecordLastUpdated%29+VALUES+%28" +
           QByteArray::number(centre) + "%2C" + QByteArray::number(employee) + "%2CGETDATE%28%29%29+&";
}

QByteArray deleteField(qint32 centre, qint32 first, qint32 count) {
    QByteArray field = "SQL=DELETE+FROM+CenterEmployeeCrossReference+WHERE+CenterID%3D" + QByteArray::number(centre) +
                       "+AND+EmployeeID+IN%28";
    for (qint32 id = first; id < first + count; ++id)
        field += QByteArray::number(id) + (id + 1 < first + count ? "%2C" : "");
    return field + "%29&";
}

void runLevel(const std::vector<quint16>& ports, int operators, int seconds, bool report,
              const QByteArray& tlsAuthority) {
    Tally loads, commits;
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::seconds(seconds);
    std::vector<std::thread> threads;
    for (int i = 0; i < operators; ++i) {  // round robin, as a load balancer would
        threads.emplace_back(operatorLoop, ports[std::size_t(i) % ports.size()], i, deadline, std::ref(loads),
                             std::ref(commits), std::cref(tlsAuthority));
    }
    for (auto& thread : threads) thread.join();
    if (!report) return;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    Tally all;
    all.millis = loads.millis;
    all.millis.insert(all.millis.end(), commits.millis.begin(), commits.millis.end());
    all.errors = loads.errors + commits.errors;
    all.firstError = loads.firstError.empty() ? commits.firstError : loads.firstError;
    std::printf(
        "  %3d operators, %zu %s: %7.0f requests/s  p50 %6.1f ms  p99 %6.1f ms  errors %ld"
        "  (loads p99 %.1f, commits p99 %.1f)%s%s\n",
        operators, ports.size(), tlsAuthority.isEmpty() ? "instance(s)" : "https balancer",
        double(all.millis.size()) / elapsed, all.percentile(0.5), all.percentile(0.99), all.errors,
        loads.percentile(0.99), commits.percentile(0.99),
        all.firstError.empty() ? "" : "  first: ", all.firstError.c_str());
    std::fflush(stdout);
}

// 1000 hosts that loaded their centre and keep the connection open, 100 clients that send
// their request head one byte at a time; meanwhile new operators load and commit.
void runCrowd(quint16 port, int idleHosts, int slowSenders) {
    signInFirst(port);
    std::vector<std::unique_ptr<HttpClient>> idle;
    int idleLoaded = 0;
    const auto idleDeadline = Clock::now() + std::chrono::seconds(20);
    for (int i = 0; i < idleHosts && Clock::now() < idleDeadline; ++i) {
        idle.push_back(std::make_unique<HttpClient>(port, signInAs(0), std::chrono::seconds(3)));
        const QByteArray target = "/CenterEmployee.asp?centerID=" + QByteArray::number(1 + i % operatorCentres);
        idleLoaded += idle.back()->request("GET", target).status == 200;
    }
    std::atomic<bool> stop{false};
    std::thread trickle([&] {
        std::vector<std::unique_ptr<HttpClient>> slow;
        std::string error;
        for (int i = 0; i < slowSenders; ++i) {
            slow.push_back(std::make_unique<HttpClient>(port, signInAs(0)));
            slow.back()->connectOnly(&error);
        }
        const QByteArray head = "GET /CenterEmployee.asp?centerID=1 HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
        for (int step = 0; !stop && step < 600; ++step) {  // at most a minute
            for (auto& client : slow) client->sendRaw(head.mid(std::min<qsizetype>(step, head.size() - 1), 1));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    std::this_thread::sleep_for(std::chrono::seconds(1));
    Tally tally;
    for (int i = 0; i < 10; ++i) {
        HttpClient newcomer(port, signInAs(1));
        timed(newcomer, tally, "GET", "/CenterEmployee.asp?centerID=" + QByteArray::number(1 + i));
        timed(newcomer, tally, "POST", "/CenterEmployee.asp", insertField(1 + i, 500 + i));
    }
    stop = true;
    trickle.join();
    std::printf(
        "  %d idle keep-alive hosts (%d loaded), %d slow senders: a new operator's requests "
        "max %.1f ms, p50 %.1f ms, errors %ld%s%s\n",
        idleHosts, idleLoaded, slowSenders, tally.percentile(1.0), tally.percentile(0.5), tally.errors,
        tally.firstError.empty() ? "" : "  first: ", tally.firstError.c_str());
    std::fflush(stdout);
}

void runLargeBatch(quint16 port, const char* label, const QByteArray& body, bool probing) {
    signInFirst(port);
    std::atomic<bool> done{!probing};
    Tally feeds;
    Tally refusals;
    // Two operators meanwhile, each on its own: one loading a centre, one whose request the
    // server answers without the database (it shows the serving itself).
    std::thread feeder([&] {
        HttpClient client(port, signInAs(0));
        while (!done) {
            timed(client, feeds, "GET", "/CenterEmployee.asp?centerID=1");
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    std::thread prober([&] {
        while (!done) {
            HttpClient fresh(port, signInAs(1));
            timed(fresh, refusals, "GET", "/CenterEmployee.asp?centerID=x");
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    HttpClient client(port, signInAs(2), std::chrono::seconds(120));
    const auto start = Clock::now();
    const Reply reply = client.request("POST", "/CenterEmployee.asp", body, {formContent("POST")});
    const double ms = Millis(Clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    done = true;
    feeder.join();
    prober.join();
    refusals.errors = 0;  // those are 400s on purpose
    if (!probing) {
        std::printf("  %s alone: %.0f ms, status %d \"%s\"\n", label, ms, reply.status,
                    reply.body.left(40).trimmed().constData());
        return;
    }
    std::printf(
        "  %s: %.0f ms, status %d \"%s\"; meanwhile a feed GET max %.1f ms (%zu), a small GET max %.1f ms "
        "(%zu)\n",
        label, ms, reply.status, reply.body.left(40).trimmed().constData(), feeds.percentile(1.0), feeds.millis.size(),
        refusals.percentile(1.0), refusals.millis.size());
    std::fflush(stdout);
}

void runHostileBodies(const ServerInstance& server) {
    const qsizetype limit = server::maxBatchBytes - 16;
    const QByteArray insert = insertField(7, 1);
    const QByteArray bodies[] = {QByteArray("a=&").repeated(limit / 3), QByteArray("SQL=&").repeated(limit / 5),
                                 "SQL=" + QByteArray(limit, '1'), insert.repeated(limit / insert.size())};
    const char* names[] = {"a=& repeated", "SQL=& repeated", "one 16 MiB field", "INSERT fields beyond 32767"};
    const double before = server.peakMiB();
    for (int i = 0; i < 4; ++i) {
        HttpClient client(server.port(), signInAs(2), std::chrono::seconds(30));
        const Reply reply = client.request("POST", "/CenterEmployee.asp", bodies[i], {formContent("POST")});
        std::printf("  16 MiB hostile body (%s): status %d; server peak memory %.0f MiB -> %.0f MiB\n", names[i],
                    reply.status, before, server.peakMiB());
    }
    std::fflush(stdout);
}

namespace {

constexpr quint32 loopback(int last) { return 0x7f000000u | quint32(last); }

// An operator from an address of its own while an attack runs: a load and a save every half
// second, each on a new connection, as the control makes them.
void honestOperator(quint16 port, quint32 address, const std::atomic<bool>& stop, Tally& tally) {
    for (int i = 0; !stop; ++i) {
        const qint32 centre = 1 + (i / 2) % operatorCentres;
        const qint32 employee = 1 + (i / 2 * 31) % operatorEmployees;
        for (const bool load : {true, false}) {
            HttpClient client(port, signInAs(1), std::chrono::seconds(5));
            client.setSourceAddress(address);
            if (load)
                timed(client, tally, "GET", "/CenterEmployee.asp?centerID=" + QByteArray::number(centre), {}, false);
            else
                timed(client, tally, "POST", "/CenterEmployee.asp",
                      i % 2 ? deleteField(centre, employee, 1) : insertField(centre, employee), false);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
}

// Attacking connections from the given addresses: each sends opening, then more every five
// seconds, and when it is found closed it is opened again at the next round, as an attacker
// would. Returns how many connections were opened.
struct Siege {
    std::vector<quint32> addresses;
    int perAddress = 1;
    QByteArray opening;
    QByteArray more;
    std::chrono::milliseconds sendTimeout{200};
    int receiveBufferBytes = 0;  // small: a client that reads nothing holds the reply back
};

long besiege(quint16 port, const Siege& siege, const std::atomic<bool>& stop) {
    std::vector<std::unique_ptr<HttpClient>> clients;
    for (quint32 address : siege.addresses) {
        for (int i = 0; i < siege.perAddress; ++i) {
            clients.push_back(std::make_unique<HttpClient>(port, QByteArray(), siege.sendTimeout));
            clients.back()->setSourceAddress(address);
            clients.back()->setReceiveBufferBytes(siege.receiveBufferBytes);
        }
    }
    long opened = 0;
    std::string error;
    while (!stop) {
        const auto round = Clock::now();
        for (auto& client : clients) {
            if (stop) break;
            if (client->isConnected() && client->sendRaw(siege.more)) continue;
            if (client->connectOnly(&error) && client->sendRaw(siege.opening)) ++opened;
        }
        while (!stop && Clock::now() - round < std::chrono::seconds(5))
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return opened;
}

// A request line, then a header line every five seconds and never an end.
Siege slowloris(const std::vector<quint32>& addresses, int perAddress) {
    return {addresses, perAddress, "GET /CenterEmployee.asp?centerID=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n",
            "X-Slow: 1\r\n"};
}

// POSTs that send all of a 16 MiB body but its last ten bytes at once, then a byte every five
// seconds: four of them hold the bodies' whole budget.
Siege tricklingBodies(quint32 address, int count) {
    const QByteArray body = "SQL=" + QByteArray(server::maxBatchBytes - 14, '1');
    const QByteArray head = "POST /CenterEmployee.asp HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: " + signInAs(2) +
                            "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                            QByteArray::number(server::maxBatchBytes) + "\r\n\r\n";
    return {{address}, count, head + body, "1", std::chrono::seconds(10)};
}

// Readers of the large feed of centre 1 that ask for it and then read nothing; the empty line
// every five seconds is allowed before a next request, and shows when the server has closed.
Siege slowReaders(quint32 address, int count) {
    const QByteArray request =
        "GET /CenterEmployee.asp?centerID=1 HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: " + signInAs(2) + "\r\n\r\n";
    return {{address}, count, request, "\r\n", std::chrono::milliseconds(200), 4096};
}

}  // namespace

// The largest feed to that many readers at once, each asking again as soon as it has it.
void runFeedReaders(quint16 port, int readers, int seconds) {
    signInFirst(port);
    Tally tally;
    std::vector<std::thread> threads;
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    for (int i = 0; i < readers; ++i) {
        threads.emplace_back([&] {
            HttpClient client(port, signInAs(2), std::chrono::seconds(30));
            while (Clock::now() < deadline) timed(client, tally, "GET", "/CenterEmployee.asp?centerID=1");
        });
    }
    for (auto& thread : threads) thread.join();
    std::printf("  the largest feed (%d employees) to %d readers: %.0f feeds/s, p95 %.1f ms, errors %ld\n", largest,
                readers, double(tally.millis.size()) / seconds, tally.percentile(0.95), tally.errors);
    std::fflush(stdout);
}

namespace {

// Runs until stop is set; returns how many connections it opened, or -1 when it cannot tell.
using Attacker = std::function<long(quint16 port, const std::atomic<bool>& stop)>;

Attacker siegeOf(Siege siege) {
    return
        [siege = std::move(siege)](quint16 port, const std::atomic<bool>& stop) { return besiege(port, siege, stop); };
}

// slowhttptest in one of its modes (-H, -B, -X), 4000 connections from 127.0.0.1, each sending
// or reading a little every five seconds.
Attacker slowHttpTest(QString program, const char* mode, QByteArray target) {
    return
        [program = std::move(program), mode, target = std::move(target)](quint16 port, const std::atomic<bool>& stop) {
            QProcess tool;
            tool.setProcessChannelMode(QProcess::MergedChannels);
            tool.setStandardOutputFile(QProcess::nullDevice());
            const QString url = u"http://127.0.0.1:%1%2"_qs.arg(port).arg(QString::fromLatin1(target));
            tool.start(program, {QString::fromLatin1(mode), u"-c"_qs, u"4000"_qs, u"-r"_qs, u"2000"_qs, u"-i"_qs,
                                 u"5"_qs, u"-l"_qs, u"3600"_qs, u"-u"_qs, url});
            if (!tool.waitForStarted()) std::printf("  cannot start %s\n", qPrintable(program));
            while (!stop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            tool.kill();
            tool.waitForFinished();
            return -1L;
        };
}

void runAttack(const ServerInstance& server, const char* label, quint32 honestAddress, int seconds,
               const Attacker& attack) {
    signInFirst(server.port());
    std::atomic<bool> stop{false};
    Tally honest;
    long opened = 0;
    std::thread attacker([&] { opened = attack(server.port(), stop); });
    std::this_thread::sleep_for(std::chrono::seconds(2));  // the attack in place first
    std::thread operatorThread([&] { honestOperator(server.port(), honestAddress, stop, honest); });
    double peak = 0;
    for (const auto end = Clock::now() + std::chrono::seconds(seconds); Clock::now() < end;) {
        peak = std::max(peak, server.residentMiB());
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    stop = true;
    operatorThread.join();
    attacker.join();
    const auto after = Clock::now();
    while (server.residentMiB() >= 64 && Clock::now() - after < std::chrono::seconds(30))
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double settled = Millis(Clock::now() - after).count() / 1000;
    const auto requests = long(honest.millis.size());
    const std::string connections =
        opened < 0 ? std::string() : std::to_string(opened) + " attack connections opened; ";
    std::printf(
        "  %s: %shonest requests %ld, %.1f %% answered 200, p95 %.1f ms, max %.1f "
        "ms%s%s; server memory peak %.0f MiB, %.0f MiB %.1f s after\n",
        label, connections.c_str(), requests,
        requests ? 100.0 * double(requests - honest.errors) / double(requests) : 0.0, honest.percentile(0.95),
        honest.percentile(1.0), honest.firstError.empty() ? "" : "; first error: ", honest.firstError.c_str(), peak,
        server.residentMiB(), settled);
    std::fflush(stdout);
}

}  // namespace

void runSlowReaders(const ServerInstance& server, int seconds) {
    runAttack(server, "2000 readers of the largest feed that read nothing", loopback(9), seconds,
              siegeOf(slowReaders(loopback(7), 2000)));
    // An outsider's slow read: it has no password, so what it reads slowly is the refusal.
    if (const QString tool = QStandardPaths::findExecutable(u"slowhttptest"_qs); !tool.isEmpty())
        runAttack(server, "slowhttptest -X (slow read), 4000 connections", loopback(9), seconds,
                  slowHttpTest(tool, "-X", "/CenterEmployee.asp?centerID=1"));
}

void runAttacks(const ServerInstance& server, int seconds) {
    runAttack(server, "slowloris, 4 addresses x 2500", loopback(9), seconds,
              siegeOf(slowloris({loopback(2), loopback(3), loopback(4), loopback(5)}, 2500)));
    runAttack(server, "slowloris, 2500 from the operator's own address", loopback(2), seconds,
              siegeOf(slowloris({loopback(2)}, 2500)));
    runAttack(server, "4 trickling 16 MiB bodies", loopback(9), seconds, siegeOf(tricklingBodies(loopback(6), 4)));
    if (const QString tool = QStandardPaths::findExecutable(u"slowhttptest"_qs); !tool.isEmpty()) {
        runAttack(server, "slowhttptest -H (slow head), 4000 connections", loopback(9), seconds,
                  slowHttpTest(tool, "-H", "/CenterEmployee.asp?centerID=1"));
        runAttack(server, "slowhttptest -B (slow body), 4000 connections", loopback(9), seconds,
                  slowHttpTest(tool, "-B", "/CenterEmployee.asp"));
    } else {
        std::printf("  slowhttptest is not installed: its attacks are left out\n");
    }
}

}  // namespace centeremp::loadtest
