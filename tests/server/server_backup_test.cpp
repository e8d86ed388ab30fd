// centeremp-server --db FILE backup TARGET: a copy taken while a server applies batches holds
// whole batches only, each with its log, and a server starts on it; what it must not do, it
// refuses.

#include "server_test_support.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using namespace centeremp;
using namespace centeremp::servertest;
using Backend = LiveServer::Backend;

namespace {

constexpr qint32 kBatch = 100;

TEST(ServerBackup, CopiesWholeBatchesWhileServing) {
    LiveServer server;
    ASSERT_TRUE(server.start(Backend::Sqlite));
    std::vector<TestEmployee> employees;
    for (qint32 id = 1; id <= 20000; ++id) employees.push_back({id, QStringLiteral("Employee %1").arg(id), true});
    server.db().addEmployees(employees);
    server.db().addCentre(3);
    const QString source = server.db().connection().databaseName();

    // Batches of 100 assignments, one after the other, until the copies are taken.
    std::atomic<bool> done{false};
    const quint16 port = server.process().port();
    auto writer = std::async(std::launch::async, [port, &done] {
        int saved = 0;
        for (qint32 first = 1; !done && first + kBatch <= 20000; first += kBatch) {
            QByteArray body;
            for (qint32 id = first; id < first + kBatch; ++id) body += sqlField(insertStatement(3, id));
            saved +=
                httpRequest(port, "POST", "/CenterEmployee.asp", body, "application/x-www-form-urlencoded").status ==
                200;
        }
        return saved;
    });
    QTemporaryDir dir;
    std::vector<QString> copies;
    for (int i = 0; i < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        copies.push_back(dir.filePath(QStringLiteral("copy-%1.sqlite").arg(i)));
        QByteArray output;
        EXPECT_EQ(server.admin({u"backup"_qs, copies.back()}, {}, &output), 0);
        EXPECT_TRUE(output.startsWith("backed up ")) << output.toStdString();
    }
    done = true;
    EXPECT_GT(writer.get(), 0);
    EXPECT_EQ(server.process().stop(), 0);

    qint64 lastAssigned = 0;
    for (const QString& copy : copies) {
        ASSERT_FALSE(QFile::exists(copy + u".partial"_qs));
        const auto address = std::get<server::DatabaseAddress>(server::parseDatabaseAddress(copy));
        {
            TestDatabase db(address);
            const qint64 assigned = db.count(u"SELECT COUNT(*) FROM CenterEmployeeCrossReference"_qs);
            EXPECT_EQ(assigned % kBatch, 0) << copy.toStdString() << " holds part of a batch";
            EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM assignment_log"_qs), assigned) << copy.toStdString();
            EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM employees"_qs), 20000);
            EXPECT_GE(assigned, lastAssigned);
            lastAssigned = assigned;
        }
        ServerProcess restored;
        ASSERT_TRUE(restored.start({u"--db"_qs, copy}));
        EXPECT_EQ(httpRequest(restored.port(), "GET", "/CenterEmployee.asp?centerID=3").status, 200);
        EXPECT_EQ(restored.stop(), 0);
    }
    EXPECT_GT(lastAssigned, 0) << "no copy was taken while batches were saved";

    // An existing file is never overwritten; PostgreSQL has tools of its own.
    QByteArray error;
    const QByteArray before = [&] {
        QFile file(copies.front());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    EXPECT_EQ(runServerToExit({u"--db"_qs, source, u"backup"_qs, copies.front()}, &error), 1);
    EXPECT_TRUE(error.contains("exists already")) << error.toStdString();
    QFile again(copies.front());
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), before);
    EXPECT_EQ(runServerToExit({u"--db"_qs, u"postgresql://u@/d?host=/nowhere"_qs, u"backup"_qs, dir.filePath(u"pg"_qs)},
                              &error),
              2);
    EXPECT_TRUE(error.contains("pg_dump")) << error.toStdString();
}

}  // namespace
