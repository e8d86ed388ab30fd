// The server under more than one request at a time, and what it tells the world when the
// database is slow or gone: requests run on a pool of workers with a connection each, so one
// request stuck on a lock holds up no one else.

#include "server_test_support.h"

#include <QSqlQuery>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

using namespace centeremp;
using namespace centeremp::servertest;
using Backend = LiveServer::Backend;

namespace {

class StuckWriter : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (!LiveServer::available(GetParam())) GTEST_SKIP() << "CENTEREMP_TEST_PG is not set";
        ASSERT_TRUE(server.start(GetParam(), {u"--threads"_qs, u"3"_qs}));
        server.db().addEmployees({{1, u"Ann"_qs, true}, {2, u"Bob"_qs, true}});
        server.db().assign(5, {1}, QDateTime::currentDateTimeUtc());
    }
    void TearDown() override {
        if (LiveServer::available(GetParam())) {
            EXPECT_EQ(server.stop(), 0) << server.process().standardError().toStdString();
        }
    }
    LiveServer server;
};

// Another program holds the write lock; the batch waits for it while other operators load.
TEST_P(StuckWriter, DelaysOnlyItsOwnBatch) {
    const bool postgres = GetParam() == Backend::Postgres;
    QSqlQuery lock(server.db().connection());
    ASSERT_TRUE(lock.exec(postgres ? u"BEGIN"_qs : u"BEGIN IMMEDIATE"_qs));
    if (postgres) {
        ASSERT_TRUE(lock.exec(u"LOCK TABLE CenterEmployeeCrossReference IN EXCLUSIVE MODE"_qs));
    }
    const quint16 port = server.process().port();
    auto batch = std::async(std::launch::async, [port] {
        return httpRequest(port, "POST", "/CenterEmployee.asp", sqlField(insertStatement(5, 2)),
                           "application/x-www-form-urlencoded");
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let the batch reach the lock
    for (int i = 0; i < 3; ++i) {
        const HttpReply feed = server.get("/CenterEmployee.asp?centerID=5");
        EXPECT_EQ(feed.status, 200);
        EXPECT_TRUE(feed.body.contains("<Selected>1</Selected>")) << feed.body.toStdString();
    }
    ASSERT_EQ(batch.wait_for(std::chrono::seconds(0)), std::future_status::timeout)
        << "the batch did not wait for the lock, or the feeds waited for the batch";

    if (postgres) {
        ASSERT_TRUE(lock.exec(u"COMMIT"_qs));
        const HttpReply reply = batch.get();
        EXPECT_EQ(reply.status, 200) << reply.body.toStdString();
        EXPECT_EQ(reply.body.trimmed(), "Saved: 1 assigned, 0 removed.");
    } else {
        // SQLite gives up after its busy time-out: a time-out, said as such, and nothing saved.
        const HttpReply reply = batch.get();
        ASSERT_TRUE(lock.exec(u"COMMIT"_qs));
        EXPECT_EQ(reply.status, 503);
        EXPECT_EQ(reply.body.trimmed(), "nothing saved: time-out: the database stayed busy; try again");
        EXPECT_EQ(server.db().assignments(), (std::vector<std::pair<qint32, qint32>>{{5, 1}}));
    }
}

INSTANTIATE_TEST_SUITE_P(ServerBackend, StuckWriter, testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const auto& info) { return info.param == Backend::Sqlite ? "Sqlite" : "Postgres"; });

// The server killed outright while it writes a batch of 32767 assignments, at moments from its
// arrival to past its end: each time the database holds the whole batch or none of it, with a
// log entry for every assignment it holds, and a server started again on it serves at once.
class KilledMidBatch : public testing::TestWithParam<Backend> {};

TEST_P(KilledMidBatch, LeavesTheWholeBatchOrNoneOfIt) {
    if (!LiveServer::available(GetParam())) GTEST_SKIP() << "CENTEREMP_TEST_PG is not set";
    constexpr qint32 kEmployees = 32767;
    constexpr qint32 kCentre = 7;
    LiveServer server;
    ASSERT_TRUE(server.start(GetParam()));
    std::vector<TestEmployee> employees;
    QByteArray batch;
    for (qint32 id = 1; id <= kEmployees; ++id) {
        employees.push_back({id, QStringLiteral("Employee %1").arg(id), true});
        batch += sqlField(insertStatement(kCentre, id));
    }
    server.db().addEmployees(employees);
    server.db().addCentre(kCentre);
    const QString assigned =
        QStringLiteral("SELECT COUNT(*) FROM CenterEmployeeCrossReference WHERE CenterID = %1").arg(kCentre);
    const QString logged = QStringLiteral("SELECT COUNT(*) FROM assignment_log WHERE centerID = %1").arg(kCentre);
    qint64 wholeBatches = 0;
    for (const int afterMs : {0, 50, 100, 200, 300, 400, 600, 1000, 2000}) {
        const quint16 port = server.process().port();
        // The kill may come before the connection: what the post meets is not the point here.
        auto post = std::async(std::launch::async, [port, &batch] {
            harness::HttpClient(port, {}, std::chrono::minutes(1))
                .request("POST", "/CenterEmployee.asp", batch, {"application/x-www-form-urlencoded"});
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
        server.process().kill();
        post.wait();
        const qint64 rows = server.db().count(assigned);
        EXPECT_TRUE(rows == 0 || rows == kEmployees) << "killed " << afterMs << " ms in: " << rows << " rows";
        wholeBatches += rows == kEmployees;
        EXPECT_EQ(server.db().count(logged), wholeBatches * kEmployees) << "killed " << afterMs << " ms in";
        server.db().exec(QStringLiteral("DELETE FROM CenterEmployeeCrossReference WHERE CenterID = %1").arg(kCentre));
        ASSERT_TRUE(server.restart());
        EXPECT_EQ(server.get("/CenterEmployee.asp?centerID=7").status, 200) << "after the kill " << afterMs << " ms in";
    }
    RecordProperty("whole_batches", int(wholeBatches));
    EXPECT_EQ(server.stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(ServerBackend, KilledMidBatch, testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const auto& info) { return info.param == Backend::Sqlite ? "Sqlite" : "Postgres"; });

TEST(ServerDatabaseLost, AnswersUnavailableWithoutSayingWhereAndRecovers) {
    if (!LiveServer::available(Backend::Postgres)) GTEST_SKIP() << "CENTEREMP_TEST_PG is not set";
    LiveServer server;
    ASSERT_TRUE(server.start(Backend::Postgres, {u"--threads"_qs, u"1"_qs}));
    server.db().addCentre(1);
    ASSERT_EQ(server.get("/CenterEmployee.asp?centerID=1").status, 200);

    QSqlQuery current(server.db().connection());
    ASSERT_TRUE(current.exec(u"SELECT current_database()"_qs) && current.next());
    const QString name = current.value(0).toString();
    // A database cannot close its own doors: do it from the cluster's first database.
    const auto address =
        std::get<server::DatabaseAddress>(server::parseDatabaseAddress(qEnvironmentVariable("CENTEREMP_TEST_PG")));
    TestDatabase cluster(address);
    cluster.exec(u"ALTER DATABASE "_qs + name + u" ALLOW_CONNECTIONS false"_qs);
    cluster.exec(u"SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '"_qs + name + u"'"_qs);

    const QString socketDir = qEnvironmentVariable("CENTEREMP_TEST_PG").section(u"host="_qs, 1).section(u'&', 0, 0);
    for (int i = 0; i < 2; ++i) {  // the broken connection, then the refused reconnection
        const HttpReply reply = server.get("/CenterEmployee.asp?centerID=1");
        EXPECT_EQ(reply.status, 503);
        EXPECT_EQ(reply.body.trimmed(), "database unavailable; try again later");
        EXPECT_FALSE(reply.body.contains(QUrl::fromPercentEncoding(socketDir.toUtf8()).toUtf8()));
    }
    // A load balancer hears that the process serves but is not ready; a monitor counts the failures.
    EXPECT_EQ(server.get("/healthz").status, 200);
    EXPECT_EQ(server.get("/readyz").status, 503);
    EXPECT_TRUE(server.get("/metrics").body.contains("\ncenteremp_database_errors_total 3\n"));
    cluster.exec(u"ALTER DATABASE "_qs + name + u" ALLOW_CONNECTIONS true"_qs);
    EXPECT_EQ(server.get("/readyz").status, 200);
    EXPECT_EQ(server.get("/CenterEmployee.asp?centerID=1").status, 200);
    EXPECT_EQ(server.stop(), 0);
}

TEST(ServerLogLines, CannotBeForgedByARequest) {
    LiveServer server;
    ASSERT_TRUE(server.start(Backend::Sqlite));
    EXPECT_EQ(server.get("/x%0A2026-01-01T00:00:00.000Z%20GET%20/CenterEmployee.asp%20200%201%20ms%1B[2J").status, 400);
    EXPECT_EQ(server.stop(), 0);
    const QByteArray log = server.process().standardError();
    EXPECT_TRUE(log.contains(
        " method=GET path=\"/x\\x0A2026-01-01T00:00:00.000Z GET /CenterEmployee.asp 200 1 ms\\x1B[2J\" status=400 "))
        << log.toStdString();
    for (const QByteArray& line : log.split('\n')) {
        EXPECT_FALSE(line.startsWith("2026-01-01T00:00:00.000Z")) << line.toStdString();
    }
}

}  // namespace
