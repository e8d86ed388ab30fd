// Who may come in: operators sign in with HTTP Basic, see and change only their centres, are
// throttled after failures, and every applied statement is on record. Over HTTPS with a
// certificate made for the test, on SQLite and, when CENTEREMP_TEST_PG is set, PostgreSQL.

#include "server_test_support.h"
#include "support/test_certificates.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

using namespace centeremp::servertest;
using Backend = LiveServer::Backend;

namespace {

const QString annPassword = u"ann's passw\u00f6rd"_qs;  // UTF-8, as the challenge announces
const QString bobPassword = u"bob-password-2"_qs;
const QByteArray challenge = R"(Basic realm="TarvoCenterEmp", charset="UTF-8")";

QByteArray insertBody(qint32 centre, qint32 employee) { return sqlField(insertStatement(centre, employee)); }

struct GateCase {
    const char* name;
    QByteArray authorization;
    QByteArray method;
    QByteArray target;
    QByteArray body;
    int status;
    const char* bodyContains;
    friend void PrintTo(const GateCase& row, std::ostream* out) { *out << row.name; }
};

// Ann may use centre 7 only; Bob every centre. Three failed sign-ins at most, so the address
// stays below its lock-out.
const GateCase gateCases[] = {
    {"NoCredentials", {}, "GET", "/CenterEmployee.asp?centerID=7", {}, 401, "sign-in required"},
    {"WrongPassword",
     basicAuthorization(u"ann"_qs, u"guess"_qs),
     "GET",
     "/CenterEmployee.asp?centerID=7",
     {},
     401,
     "sign-in refused"},
    {"UnknownName",
     basicAuthorization(u"eve"_qs, annPassword),
     "GET",
     "/CenterEmployee.asp?centerID=7",
     {},
     401,
     "sign-in refused"},
    {"NotBasic", "Bearer abc", "GET", "/CenterEmployee.asp?centerID=7", {}, 401, "sign-in required"},
    {"Right",
     basicAuthorization(u"ann"_qs, annPassword),
     "GET",
     "/CenterEmployee.asp?centerID=7",
     {},
     200,
     "<Selected>1</Selected>"},
    {"RightAgainFromMemory",
     basicAuthorization(u"ann"_qs, annPassword),
     "GET",
     "/CenterEmployee.asp?centerID=7",
     {},
     200,
     "<Selected>1</Selected>"},
    {"ForbiddenCentreRead",
     basicAuthorization(u"ann"_qs, annPassword),
     "GET",
     "/CenterEmployee.asp?centerID=8",
     {},
     403,
     "operator ann may not use centre 8"},
    {"ForbiddenCentreWrite", basicAuthorization(u"ann"_qs, annPassword), "POST", "/CenterEmployee.asp",
     insertBody(7, 4) + insertBody(8, 4), 403, "nothing saved: operator ann may not use centre 8"},
    {"UnknownCentreRead",
     basicAuthorization(u"bob"_qs, bobPassword),
     "GET",
     "/CenterEmployee.asp?centerID=999999",
     {},
     404,
     "unknown centre 999999"},
    {"UnknownCentreWrite", basicAuthorization(u"bob"_qs, bobPassword), "POST", "/CenterEmployee.asp",
     insertBody(8, 4) + insertBody(999999, 4), 404, "nothing saved: unknown centre 999999"},
    {"AllCentres",
     basicAuthorization(u"bob"_qs, bobPassword),
     "GET",
     "/CenterEmployee.asp?centerID=8",
     {},
     200,
     "<Selected>0</Selected>"},
};

class SignedInServer : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (!LiveServer::available(GetParam())) GTEST_SKIP() << "CENTEREMP_TEST_PG is not set";
        ASSERT_TRUE(certificates.ok()) << certificates.error().toStdString();
        ASSERT_TRUE(server.start(
            GetParam(), {u"--tls-cert"_qs, certificates.serverCert(), u"--tls-key"_qs, certificates.serverKey()}));
        server.db().addEmployees({{4, u"Ann Smith"_qs, true}, {5, u"Bob Jones"_qs, true}});
        server.db().assign(7, {5}, QDateTime::currentDateTimeUtc());
        server.db().addCentre(8);
        server.admin({u"operator"_qs, u"add"_qs, u"ann"_qs, u"--centres"_qs, u"7"_qs}, annPassword.toUtf8() + '\n');
        server.admin({u"operator"_qs, u"add"_qs, u"bob"_qs, u"--all-centres"_qs}, bobPassword.toUtf8() + '\n');
    }
    void TearDown() override {
        if (LiveServer::available(GetParam())) {
            EXPECT_EQ(server.stop(), 0);
        }
    }

    // One request over TLS, verified against the test's authority, with curl's own client.
    HttpReply request(const GateCase& row) {
        QStringList arguments{
            u"-s"_qs, u"-i"_qs, u"--cacert"_qs, certificates.caFile(), u"-X"_qs, QString::fromLatin1(row.method)};
        if (!row.authorization.isEmpty())
            arguments << u"-H"_qs << u"Authorization: "_qs + QString::fromLatin1(row.authorization);
        if (row.method == "POST") arguments << u"--data-binary"_qs << u"@-"_qs;
        arguments << server.process().url() + QString::fromLatin1(row.target);
        QProcess curl;
        curl.start(u"curl"_qs, arguments);
        curl.write(row.body);
        curl.closeWriteChannel();
        EXPECT_TRUE(curl.waitForFinished(60000));
        EXPECT_EQ(curl.exitCode(), 0) << curl.readAllStandardError().toStdString();
        HttpReply reply;
        const QByteArray raw = curl.readAllStandardOutput();
        const qsizetype headEnd = raw.indexOf("\r\n\r\n");
        if (headEnd < 0) return reply;
        reply.head = raw.first(headEnd);
        reply.body = raw.sliced(headEnd + 4);
        reply.status = reply.head.split(' ').value(1).toInt();
        return reply;
    }

    TestCertificates certificates;
    LiveServer server;
};

TEST_P(SignedInServer, AdmitsOnlyOperatorsToTheirOwnCentres) {
    const QString before = server.db().dump();
    for (const GateCase& row : gateCases) {
        SCOPED_TRACE(row.name);
        const HttpReply reply = request(row);
        EXPECT_EQ(reply.status, row.status) << reply.body.toStdString();
        EXPECT_TRUE(reply.body.contains(row.bodyContains)) << reply.body.toStdString();
        EXPECT_EQ(reply.header("WWW-Authenticate"), row.status == 401 ? challenge : QByteArray());
        EXPECT_EQ(reply.header("X-Content-Type-Options"), "nosniff");
        EXPECT_EQ(reply.header("Cache-Control"), "no-store");
        EXPECT_EQ(reply.header("Server"), QByteArray());
    }
    EXPECT_EQ(server.db().dump(), before);  // no refused batch wrote anything
    EXPECT_EQ(server.db().count(u"SELECT COUNT(*) FROM assignment_log"_qs), 0);
    EXPECT_EQ(server.process().stop(), 0);  // all it wrote
    const QByteArray log = server.process().standardError();
    EXPECT_TRUE(log.contains("address=127.0.0.1 method=GET path=/CenterEmployee.asp status=200") &&
                log.contains("operator=ann centre=7"))
        << log.toStdString();
    EXPECT_FALSE(log.contains(annPassword.toUtf8()));
}

// Each statement of an applied batch is one line of the log, with who, from where and what.
TEST_P(SignedInServer, RecordsEveryAppliedStatement) {
    const QByteArray ann = basicAuthorization(u"ann"_qs, annPassword);
    const QByteArray body = insertBody(7, 4) + insertBody(7, 5) + sqlField(deleteStatement(7, {4, 5, 6}));
    const HttpReply reply = request({"Batch", ann, "POST", "/CenterEmployee.asp", body, 200, ""});
    ASSERT_EQ(reply.status, 200) << reply.body.toStdString();
    // One statement, on PostgreSQL with its log in the same statement; the second entry of a
    // pair changes nothing.
    const HttpReply twice =
        request({"Twice", ann, "POST", "/CenterEmployee.asp", insertBody(7, 4) + insertBody(7, 4), 200, ""});
    ASSERT_EQ(twice.status, 200) << twice.body.toStdString();

    QByteArray printed;
    ASSERT_EQ(server.admin({u"audit"_qs, u"--centre"_qs, u"7"_qs}, {}, &printed), 0);
    QStringList lines = QString::fromUtf8(printed).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7) << printed.toStdString();
    const QStringList expected = {
        u"ann\t127.0.0.1\t7\t4\tadd\tapplied"_qs,    u"ann\t127.0.0.1\t7\t5\tadd\tno-op"_qs,
        u"ann\t127.0.0.1\t7\t4\tremove\tapplied"_qs, u"ann\t127.0.0.1\t7\t5\tremove\tapplied"_qs,
        u"ann\t127.0.0.1\t7\t6\tremove\tno-op"_qs,   u"ann\t127.0.0.1\t7\t4\tadd\tapplied"_qs,
        u"ann\t127.0.0.1\t7\t4\tadd\tno-op"_qs};
    for (int i = 0; i < lines.size(); ++i) {
        const QString time = lines[i].section(u'\t', 0, 0);
        EXPECT_TRUE(QDateTime::fromString(time, Qt::ISODateWithMs).isValid() && time.endsWith(u'Z'))
            << time.toStdString();
        EXPECT_EQ(lines[i].section(u'\t', 1), expected[i]);
    }
    QByteArray other;
    ASSERT_EQ(server.admin({u"audit"_qs, u"--centre"_qs, u"8"_qs}, {}, &other), 0);
    EXPECT_TRUE(other.isEmpty()) << other.toStdString();
    // What is on record stays there.
    QSqlQuery change(server.db().connection());
    EXPECT_FALSE(change.exec(u"DELETE FROM assignment_log"_qs));
    EXPECT_FALSE(change.exec(u"UPDATE assignment_log SET operatorName = 'eve'"_qs));
    EXPECT_EQ(server.db().count(u"SELECT COUNT(*) FROM assignment_log WHERE operatorName = 'ann'"_qs), 7);
}

// Five failures lock the name (and the address) out, the right password included.
TEST_P(SignedInServer, ThrottlesANameAfterFiveFailures) {
    for (int attempt = 1; attempt <= 5; ++attempt) {
        SCOPED_TRACE(attempt);
        EXPECT_EQ(request({"Wrong",
                           basicAuthorization(u"bob"_qs, u"wrong"_qs),
                           "GET",
                           "/CenterEmployee.asp?centerID=7",
                           {},
                           0,
                           ""})
                      .status,
                  401);
    }
    const HttpReply locked = request(
        {"Right", basicAuthorization(u"bob"_qs, bobPassword), "GET", "/CenterEmployee.asp?centerID=7", {}, 0, ""});
    EXPECT_EQ(locked.status, 429) << locked.body.toStdString();
    const int retryAfter = locked.header("Retry-After").toInt();
    EXPECT_TRUE(retryAfter > 0 && retryAfter <= 15 * 60) << locked.header("Retry-After").toStdString();
}

// What a client may speak to the HTTPS server: TLS 1.2 and 1.3 with AEAD suites, nothing older
// or weaker, even when the client offers it.
struct HandshakeCase {
    const char* name;
    QStringList clientOptions;
    bool accepted;
};

TEST(ServerTls, TakesOnlyModernProtocolsAndSuites) {
    TestCertificates certificates;
    ASSERT_TRUE(certificates.ok()) << certificates.error().toStdString();
    LiveServer server;
    ASSERT_TRUE(server.start(Backend::Sqlite,
                             {u"--tls-cert"_qs, certificates.serverCert(), u"--tls-key"_qs, certificates.serverKey()}));
    const HandshakeCase cases[] = {
        {"Tls13", {u"-tls1_3"_qs}, true},
        {"Tls12", {u"-tls1_2"_qs}, true},
        {"Tls11", {u"-tls1_1"_qs, u"-cipher"_qs, u"DEFAULT@SECLEVEL=0"_qs}, false},
        {"Tls10", {u"-tls1"_qs, u"-cipher"_qs, u"DEFAULT@SECLEVEL=0"_qs}, false},
        {"Tls12CbcSuites",
         {u"-tls1_2"_qs, u"-cipher"_qs, u"ECDHE-ECDSA-AES128-SHA:ECDHE-ECDSA-AES256-SHA384"_qs},
         false},
    };
    for (const HandshakeCase& row : cases) {
        SCOPED_TRACE(row.name);
        QProcess client;
        client.start(u"openssl"_qs, QStringList{u"s_client"_qs, u"-connect"_qs,
                                                u"127.0.0.1:"_qs + QString::number(server.process().port()),
                                                u"-CAfile"_qs, certificates.caFile(), u"-verify_return_error"_qs} +
                                        row.clientOptions);
        client.closeWriteChannel();
        ASSERT_TRUE(client.waitForFinished(30000));
        EXPECT_EQ(client.exitCode() == 0, row.accepted) << client.readAllStandardError().toStdString();
    }
    EXPECT_EQ(server.stop(), 0);
}

// A certificate or key that cannot be used stops the server at once, naming the file.
TEST(ServerTls, RefusesToStartWithoutAUsableCertificate) {
    TestCertificates certificates;
    ASSERT_TRUE(certificates.ok()) << certificates.error().toStdString();
    QTemporaryDir dir;
    const QString database = dir.filePath(u"tls.sqlite"_qs);
    const QString missing = dir.filePath(u"missing.pem"_qs);
    struct Case {
        const char* name;
        QStringList arguments;
        const char* says;
    } cases[] = {
        {"MissingCertificate",
         {u"--tls-cert"_qs, missing, u"--tls-key"_qs, certificates.serverKey()},
         "does not exist"},
        {"MissingKey", {u"--tls-cert"_qs, certificates.serverCert(), u"--tls-key"_qs, missing}, "does not exist"},
        {"FolderForKey", {u"--tls-cert"_qs, certificates.serverCert(), u"--tls-key"_qs, dir.path()}, "cannot read"},
        {"KeyOfAnotherCertificate",
         {u"--tls-cert"_qs, certificates.serverCert(), u"--tls-key"_qs, certificates.otherNameKey()},
         "cannot be used together"},
        {"KeyAsCertificate",
         {u"--tls-cert"_qs, certificates.serverKey(), u"--tls-key"_qs, certificates.serverKey()},
         "cannot be used together"},
        {"CertificateWithoutKey", {u"--tls-cert"_qs, certificates.serverCert()}, "go together"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        QByteArray error;
        EXPECT_EQ(runServerToExit(QStringList{u"--db"_qs, database, u"--listen"_qs, u"127.0.0.1:0"_qs} + row.arguments,
                                  &error),
                  2);
        EXPECT_TRUE(error.contains(row.says)) << error.toStdString();
    }
}

// Without operators nobody signs in, so the server keeps to this machine unless told otherwise.
TEST(ServerTls, WithoutOperatorsServesOnlyLoopback) {
    QTemporaryDir dir;
    QByteArray error;
    EXPECT_EQ(runServerToExit({u"--db"_qs, dir.filePath(u"open.sqlite"_qs), u"--listen"_qs, u"0.0.0.0:0"_qs}, &error),
              2);
    EXPECT_TRUE(error.contains("operator add") && error.contains("--open")) << error.toStdString();
}

// A database from before centres had a table: a server starting on it lists every centre that
// has an assignment, so what worked before still works.
TEST(ServerUpgrade, AnOlderDatabaseGainsItsCentres) {
    ensureApplication();
    QTemporaryDir dir;
    const QString file = dir.filePath(u"older.sqlite"_qs);
    {
        QSqlDatabase older = QSqlDatabase::addDatabase(u"QSQLITE"_qs, u"older"_qs);
        older.setDatabaseName(file);
        ASSERT_TRUE(older.open());
        QSqlQuery query(older);
        for (const char* statement :
             {"CREATE TABLE employees (ID INTEGER PRIMARY KEY, name TEXT NOT NULL, active INTEGER NOT NULL)",
              "CREATE TABLE CenterEmployeeCrossReference (CenterID INTEGER NOT NULL, EmployeeID INTEGER NOT NULL "
              "REFERENCES employees(ID), RecordLastUpdated TEXT NOT NULL, PRIMARY KEY (CenterID, EmployeeID))",
              "INSERT INTO employees VALUES (1, 'Ann Smith', 1), (2, 'Bob Jones', 1)",
              "INSERT INTO CenterEmployeeCrossReference VALUES (7, 1, '2020-01-02T03:04:05.000Z'), "
              "(-3, 2, '2020-01-02T03:04:05.000Z')"})
            ASSERT_TRUE(query.exec(QString::fromLatin1(statement))) << statement;
        older.close();
    }
    QSqlDatabase::removeDatabase(u"older"_qs);

    ServerProcess server;
    ASSERT_TRUE(server.start({u"--db"_qs, file}));
    EXPECT_EQ(httpRequest(server.port(), "GET", "/CenterEmployee.asp?centerID=7").status, 200);
    EXPECT_EQ(httpRequest(server.port(), "GET", "/CenterEmployee.asp?centerID=8").status, 404);
    EXPECT_EQ(server.stop(), 0);
    QByteArray listed, error;
    EXPECT_EQ(runServerToExit({u"--db"_qs, file, u"centre"_qs, u"list"_qs}, &error, &listed), 0) << error.toStdString();
    EXPECT_EQ(listed, "-3\tCentre -3\n7\tCentre 7\n");
}

INSTANTIATE_TEST_SUITE_P(ServerBackend, SignedInServer, testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const auto& info) { return info.param == Backend::Sqlite ? "SQLite" : "PostgreSQL"; });

}  // namespace
