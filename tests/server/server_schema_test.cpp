// The schema's versions: a database made by the server before the schema had versions, with
// data in it, is upgraded when a server starts on it and keeps every row; a schema newer than the
// server knows stops it at start.

#include "server/employee_store.h"
#include "server_test_support.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSqlRecord>

#include <gtest/gtest.h>

using namespace centeremp;
using namespace centeremp::servertest;
using Backend = LiveServer::Backend;

namespace {

constexpr int databaseNumbers = 1000000;

// Runs a dump written one statement a line (or several lines, ending in ";"), comments apart.
void loadDump(TestDatabase& db, const QString& file) {
    QFile dump(file);
    ASSERT_TRUE(dump.open(QIODevice::ReadOnly)) << file.toStdString();
    QString text;
    for (const QByteArray& line : dump.readAll().split('\n')) {
        if (!line.startsWith("--")) text += QString::fromUtf8(line) + u'\n';
    }
    for (const QString& statement : text.split(u";\n"_qs)) {
        if (!statement.trimmed().isEmpty()) db.exec(statement);
    }
}

// Every row of every table the server had before versions, in key order, as text.
QString everyRow(TestDatabase& db) {
    QString rows;
    for (const char* table :
         {"employees", "CenterEmployeeCrossReference", "centers", "operators", "operatorCentres", "assignment_log"}) {
        QSqlQuery query(db.connection());
        EXPECT_TRUE(query.exec(QStringLiteral("SELECT * FROM %1 ORDER BY 1, 2").arg(QLatin1String(table))));
        while (query.next()) {
            rows += QLatin1String(table);
            for (int i = 0; i < query.record().count(); ++i) rows += u'\t' + query.value(i).toString();
            rows += u'\n';
        }
    }
    return rows;
}

class SchemaUpgrade : public testing::TestWithParam<Backend> {};

TEST_P(SchemaUpgrade, KeepsEveryRowThenRefusesANewerSchema) {
    if (!LiveServer::available(GetParam())) GTEST_SKIP() << "CENTEREMP_TEST_PG is not set";
    ensureApplication();
    const bool postgres = GetParam() == Backend::Postgres;
    harness::ScratchDatabase database(postgres ? qEnvironmentVariable("CENTEREMP_TEST_PG") : QString(),
                                      QStringLiteral("centeremp_schema_%1_%2")
                                          .arg(QCoreApplication::applicationPid())
                                          .arg(QRandomGenerator::global()->bounded(databaseNumbers)));
    ASSERT_TRUE(database.problem().isEmpty()) << database.problem().toStdString();
    TestDatabase db(database.address());
    loadDump(
        db,
        QStringLiteral(CENTEREMP_SERVER_TEST_DATA "/unversioned.%1.sql").arg(postgres ? u"postgres"_qs : u"sqlite"_qs));
    const QString before = everyRow(db);
    ASSERT_EQ(before.count(u'\n'), 14) << before.toStdString();
    const int latest = server::EmployeeStore::latestSchemaVersion();

    ServerProcess server;
    ASSERT_TRUE(server.start({u"--db"_qs, database.argument()}));
    const QByteArray ann = basicAuthorization(u"ann"_qs, u"north-depot-pass"_qs);
    const HttpReply feed = httpRequest(server.port(), "GET", "/CenterEmployee.asp?centerID=12", {}, {}, false, ann);
    EXPECT_EQ(feed.status, 200) << feed.body.toStdString();
    EXPECT_TRUE(feed.body.contains("<Selected>1</Selected>")) << feed.body.toStdString();
    EXPECT_EQ(httpRequest(server.port(), "GET", "/CenterEmployee.asp?centerID=14", {}, {}, false, ann).status, 403);
    EXPECT_EQ(server.stop(), 0);
    EXPECT_TRUE(
        server.standardError().contains(QStringLiteral("schema went from version 0 to %1").arg(latest).toUtf8()))
        << server.standardError().toStdString();
    EXPECT_EQ(everyRow(db), before);

    QByteArray output;
    QByteArray error;
    EXPECT_EQ(runServerToExit({u"--db"_qs, database.argument(), u"migrate"_qs}, &error, &output), 0);
    EXPECT_EQ(output, QStringLiteral("the schema is at version %1 already\n").arg(latest).toUtf8());

    // A trigger switched off would let servers keep an employee list that changed: a server
    // starting on the database switches it on again, whatever the version says.
    if (postgres) {
        db.exec(u"ALTER TABLE employees DISABLE TRIGGER employee_list_changed"_qs);
        ServerProcess again;
        ASSERT_TRUE(again.start({u"--db"_qs, database.argument()}));
        EXPECT_EQ(again.stop(), 0);
        EXPECT_EQ(
            db.count(u"SELECT COUNT(*) FROM pg_trigger WHERE tgname = 'employee_list_changed' AND tgenabled <> 'D'"_qs),
            1);
    }

    // As a server of this version would leave it for an older one.
    db.exec(QStringLiteral("UPDATE schema_version SET version = %1").arg(latest + 1));
    for (const QStringList& command : {QStringList{u"--listen"_qs, u"127.0.0.1:0"_qs}, QStringList{u"migrate"_qs}}) {
        EXPECT_EQ(runServerToExit(QStringList{u"--db"_qs, database.argument()} + command, &error), 1);
        EXPECT_TRUE(error.contains(QStringLiteral("schema is version %1, newer than this server knows (version %2)")
                                       .arg(latest + 1)
                                       .arg(latest)
                                       .toUtf8()))
            << error.toStdString();
    }
    EXPECT_EQ(everyRow(db), before);
}

INSTANTIATE_TEST_SUITE_P(ServerBackend, SchemaUpgrade, testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const auto& info) { return info.param == Backend::Sqlite ? "Sqlite" : "Postgres"; });

}  // namespace
