// The real server over HTTP on loopback: the centre feed and applying batches (the process
// itself has server_process_test.cpp). Cases that matter on both databases run on SQLite and, when
// CENTEREMP_TEST_PG is set, on PostgreSQL.

#include "server_test_support.h"

#include <QDateTime>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <ostream>
#include <pugixml.hpp>

#include <limits>
#include <map>
#include <string>

using namespace centeremp::servertest;
using Backend = LiveServer::Backend;

namespace {

const std::map<qint32, QString> seededNames = {
    {1, u"Ann Smith"_qs},          {2, u"Bob & Co"_qs},   {3, u"<Gone> Person"_qs},    {4, u"José Müller"_qs},
    {9, u"Quote \"Q\" O'Neil"_qs}, {10, u"Zed < Ten"_qs}, {11, u"Inactive Eleven"_qs},
};
const QDateTime seededAt = QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC);

// Employees 3 and 11 are inactive; 3 is still assigned to centre 7.
void seed(TestDatabase& db) {
    std::vector<TestEmployee> employees;
    for (const auto& [id, name] : seededNames) employees.push_back({id, name, id != 3 && id != 11});
    db.addEmployees(employees);
    db.assign(7, {2, 3, 10}, seededAt);
    db.assign(8, {1, 2}, seededAt);
    db.assign(-5, {4}, seededAt);
    db.addCentre(99);
}

struct Listed {
    long nonSelectedCount = -1;
    long selectedCount = -1;
    std::vector<qint32> nonSelected;
    std::vector<qint32> selected;
    std::map<qint32, std::string> names;
};

// Reads the feed by position only, as the control does.
Listed readFeed(const QByteArray& xml) {
    Listed listed;
    pugi::xml_document doc;
    const auto result = doc.load_buffer(xml.constData(), std::size_t(xml.size()));
    EXPECT_TRUE(result) << result.description();
    const pugi::xml_node root = doc.first_child();
    const pugi::xml_node count = root.first_child().first_child();
    listed.nonSelectedCount = std::stol(count.first_child().child_value());
    listed.selectedCount = std::stol(count.first_child().next_sibling().child_value());
    const pugi::xml_node nonSelected = root.first_child().next_sibling();
    for (int list = 0; list < 2; ++list) {
        const pugi::xml_node parent = list == 0 ? nonSelected : nonSelected.next_sibling();
        for (pugi::xml_node employee = parent.first_child(); employee; employee = employee.next_sibling()) {
            const qint32 id = std::stoi(employee.first_child().child_value());
            (list == 0 ? listed.nonSelected : listed.selected).push_back(id);
            listed.names[id] = employee.first_child().next_sibling().child_value();
        }
    }
    return listed;
}

class ServerOnBackend : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (!LiveServer::available(GetParam())) GTEST_SKIP() << "CENTEREMP_TEST_PG is not set";
        ASSERT_TRUE(server.start(GetParam()));
        seed(server.db());
    }
    void TearDown() override {
        if (LiveServer::available(GetParam())) {
            EXPECT_EQ(server.stop(), 0) << server.process().standardError().toStdString();
        }
    }
    LiveServer server;
};

struct FeedCase {
    qint32 centerId;
    std::vector<qint32> nonSelected;
    std::vector<qint32> selected;
};

TEST_P(ServerOnBackend, FeedListsActiveEmployeesByPositionInIdOrder) {
    const FeedCase cases[] = {
        {7, {1, 4, 9}, {2, 10}},     // inactive 3 is assigned but not listed
        {8, {4, 9, 10}, {1, 2}},     // 10 after 9: numeric order
        {-5, {1, 2, 9, 10}, {4}},    // negative centre IDs are ordinary centres
        {99, {1, 2, 4, 9, 10}, {}},  // a centre without assignments has everyone to choose from
    };
    for (const FeedCase& row : cases) {
        SCOPED_TRACE("centre " + std::to_string(row.centerId));
        const HttpReply reply = server.get("/CenterEmployee.asp?centerID=" + QByteArray::number(row.centerId));
        ASSERT_EQ(reply.status, 200) << reply.body.toStdString();
        EXPECT_EQ(reply.header("Content-Type"), "text/xml; charset=utf-8");
        EXPECT_EQ(reply.header("Cache-Control"), "no-store");
        const Listed listed = readFeed(reply.body);
        EXPECT_EQ(listed.nonSelected, row.nonSelected);
        EXPECT_EQ(listed.selected, row.selected);
        EXPECT_EQ(listed.nonSelectedCount, long(row.nonSelected.size()));
        EXPECT_EQ(listed.selectedCount, long(row.selected.size()));
        for (const auto& [id, name] : listed.names) {
            EXPECT_EQ(name, seededNames.at(id).toStdString()) << "employee " << id;
        }
    }
    const QByteArray raw = server.get("/CenterEmployee.asp?centerID=7").body;
    EXPECT_TRUE(raw.contains("<Name>Bob &amp; Co</Name>"));
    EXPECT_TRUE(raw.contains("<Name>Zed &lt; Ten</Name>"));
    EXPECT_TRUE(raw.contains("<Name>Quote &quot;Q&quot; O&apos;Neil</Name>"));
    EXPECT_TRUE(raw.contains("<Name>Jos\xC3\xA9 M\xC3\xBCller</Name>"));
}

// Whoever changes the employees beside the server, every feed after it shows the change.
TEST_P(ServerOnBackend, FeedShowsEmployeesChangedBesideTheServer) {
    const QByteArray centre8 = "/CenterEmployee.asp?centerID=8";
    for (int i = 0; i < 4; ++i) ASSERT_EQ(server.get(centre8).status, 200);
    server.db().exec(u"UPDATE employees SET name = 'Ann Renamed' WHERE ID = 1"_qs);
    server.db().exec(u"UPDATE employees SET active = NOT active WHERE ID IN (4, 11)"_qs);
    server.db().exec(u"DELETE FROM employees WHERE ID = 9"_qs);
    server.db().addEmployees({{12, u"New Twelve"_qs, true}});
    for (int i = 0; i < 4; ++i) {
        const Listed listed = readFeed(server.get(centre8).body);
        EXPECT_EQ(listed.nonSelected, (std::vector<qint32>{10, 11, 12}));
        EXPECT_EQ(listed.selected, (std::vector<qint32>{1, 2}));
        EXPECT_EQ(listed.names.at(1), "Ann Renamed");
    }
    if (server.db().isPostgres()) {  // with no version to go by, a page is read whole
        server.db().exec(u"DELETE FROM EmployeeListVersion"_qs);
        const Listed listed = readFeed(server.get(centre8).body);
        EXPECT_EQ(listed.nonSelected, (std::vector<qint32>{10, 11, 12}));
        EXPECT_EQ(listed.selected, (std::vector<qint32>{1, 2}));
    }
}

TEST_P(ServerOnBackend, BatchAppliesExactlyItsChangesAndARetryChangesNothing) {
    const QByteArray body = sqlField(insertStatement(8, 4)) + sqlField(insertStatement(8, 9)) +
                            sqlField(insertStatement(8, 1)) +            // already assigned
                            sqlField(deleteStatement(7, {3, 10, 999}));  // 3 is inactive, 999 unknown
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-2);
    const HttpReply reply = server.post(body);
    const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(2);
    ASSERT_EQ(reply.status, 200) << reply.body.toStdString();
    EXPECT_EQ(reply.header("Content-Type"), "text/plain; charset=utf-8");
    EXPECT_EQ(reply.body.trimmed(),
              "Saved: 2 assigned, 2 removed.\n"
              "Already assigned by someone else: 1.\n"
              "Not assigned any more: 999.");

    using Pairs = std::vector<std::pair<qint32, qint32>>;
    EXPECT_EQ(server.db().assignments(), (Pairs{{-5, 4}, {7, 2}, {8, 1}, {8, 2}, {8, 4}, {8, 9}}));

    // New rows carry the server's time; the row that was already there keeps its own.
    QSqlQuery times(server.db().connection());
    ASSERT_TRUE(
        times.exec(u"SELECT EmployeeID, RecordLastUpdated FROM CenterEmployeeCrossReference "
                   "WHERE CenterID = 8 ORDER BY EmployeeID"_qs));
    while (times.next()) {
        const qint32 employee = times.value(0).toInt();
        QDateTime stamp = times.value(1).toDateTime();
        if (times.value(1).typeId() == QMetaType::QString)
            stamp = QDateTime::fromString(times.value(1).toString(), Qt::ISODateWithMs);
        ASSERT_TRUE(stamp.isValid()) << times.value(1).toString().toStdString();
        if (employee == 4 || employee == 9) {
            EXPECT_GE(stamp, before) << employee;
            EXPECT_LE(stamp, after) << employee;
        } else {
            EXPECT_EQ(stamp, seededAt) << employee;
        }
    }

    const QString dump = server.db().dump();
    const HttpReply retry = server.post(body);
    ASSERT_EQ(retry.status, 200) << retry.body.toStdString();
    EXPECT_EQ(retry.body.trimmed(),
              "Saved: 0 assigned, 0 removed.\n"
              "Already assigned by someone else: 4, 9, 1.\n"
              "Not assigned any more: 3, 10, 999.");
    EXPECT_EQ(server.db().dump(), dump);

    const Listed listed = readFeed(server.get("/CenterEmployee.asp?centerID=8").body);
    EXPECT_EQ(listed.selected, (std::vector<qint32>{1, 2, 4, 9}));
}

TEST_P(ServerOnBackend, BadThirdStatementLeavesBothTablesUntouched) {
    const QString dump = server.db().dump();
    const QByteArray body = sqlField(insertStatement(8, 4)) + sqlField(deleteStatement(7, {2})) +
                            sqlField(u"DELETE FROM employees WHERE ID=1"_qs);
    const HttpReply reply = server.post(body);
    EXPECT_EQ(reply.status, 400);
    EXPECT_TRUE(reply.body.contains("field 3: not an accepted statement")) << reply.body.toStdString();
    EXPECT_EQ(server.db().dump(), dump);
}

TEST_P(ServerOnBackend, UnknownEmployeeLeavesBothTablesUntouched) {
    const QString dump = server.db().dump();
    const QByteArray body =
        sqlField(deleteStatement(7, {2})) + sqlField(insertStatement(8, 4)) + sqlField(insertStatement(8, 404));
    const HttpReply reply = server.post(body);
    EXPECT_EQ(reply.status, 422);
    EXPECT_TRUE(reply.body.contains("field 3: employee 404 does not exist")) << reply.body.toStdString();
    EXPECT_EQ(server.db().dump(), dump);
}

// Feeds are kept between requests, shared by the workers: a change made beside the server, by
// another program, shows in the next feed whichever worker serves it.
TEST_P(ServerOnBackend, FeedShowsEveryChangeMadeBesideTheServer) {
    const auto everyFeed = [this](const QByteArray& wanted) {
        for (int i = 0; i < 6; ++i) {
            const HttpReply reply = server.get("/CenterEmployee.asp?centerID=7");
            ASSERT_EQ(reply.status, 200);
            EXPECT_TRUE(reply.body.contains(wanted)) << reply.body.toStdString();
        }
    };
    everyFeed("<Selected>2</Selected>");
    server.db().exec(u"UPDATE employees SET name = 'Renamed Ann' WHERE ID = 1"_qs);
    everyFeed("Renamed Ann");
    server.db().assign(7, {1}, seededAt);
    everyFeed("<Selected>3</Selected>");
    server.db().exec(u"DELETE FROM CenterEmployeeCrossReference WHERE CenterID = 7 AND EmployeeID = 1"_qs);
    everyFeed("<Selected>2</Selected>");
}

INSTANTIATE_TEST_SUITE_P(ServerBackend, ServerOnBackend, testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const auto& info) { return info.param == Backend::Sqlite ? "Sqlite" : "Postgres"; });

// ---- statement order within a batch (SQLite) ----

struct EffectCase {
    const char* name;
    std::vector<QString> statements;
    const char* message;
    std::vector<qint32> centre7;  // employees assigned to centre 7 afterwards
    friend void PrintTo(const EffectCase& row, std::ostream* out) { *out << row.name; }
};

class BatchEffect : public testing::TestWithParam<EffectCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start(Backend::Sqlite));
        seed(server.db());
    }
    void TearDown() override { EXPECT_EQ(server.stop(), 0); }
    LiveServer server;
};

TEST_P(BatchEffect, FollowsStatementOrder) {
    QByteArray body;
    for (const QString& statement : GetParam().statements) body += sqlField(statement);
    const HttpReply reply = server.post(body);
    ASSERT_EQ(reply.status, 200) << reply.body.toStdString();
    EXPECT_EQ(reply.body.trimmed(), GetParam().message);
    std::vector<qint32> centre7;
    for (const auto& [center, employee] : server.db().assignments()) {
        if (center == 7) centre7.push_back(employee);
    }
    EXPECT_EQ(centre7, GetParam().centre7);
}

INSTANTIATE_TEST_SUITE_P(
    ServerBatchOrder, BatchEffect,
    testing::Values(
        EffectCase{"InsertThenDeleteSamePair",
                   {insertStatement(7, 4), deleteStatement(7, {4})},
                   "Saved: 1 assigned, 1 removed.",
                   {2, 3, 10}},
        EffectCase{"DeleteThenInsertSamePair",
                   {deleteStatement(7, {2}), insertStatement(7, 2)},
                   "Saved: 1 assigned, 1 removed.",
                   {2, 3, 10}},
        EffectCase{"InsertDeleteInsert",
                   {insertStatement(7, 4), deleteStatement(7, {4, 2}), insertStatement(7, 4), insertStatement(7, 9)},
                   "Saved: 3 assigned, 2 removed.",
                   {3, 4, 9, 10}},
        EffectCase{"SamePairTwice",
                   {insertStatement(7, 4), insertStatement(7, 4)},
                   "Saved: 1 assigned, 0 removed.",
                   {2, 3, 4, 10}},
        EffectCase{"RemoveInactiveEmployee", {deleteStatement(7, {3})}, "Saved: 0 assigned, 1 removed.", {2, 10}},
        EffectCase{"RemoveUnknownIds",
                   {deleteStatement(7, {12345, -1, 2147483647})},
                   "Saved: 0 assigned, 0 removed.\nNot assigned any more: 12345, -1, 2147483647.",
                   {2, 3, 10}},
        // Only what someone else did is named, not a pair this batch touched before.
        EffectCase{"AssignedBySomeoneElse",
                   {insertStatement(7, 2), insertStatement(7, 4), insertStatement(7, 2)},
                   "Saved: 1 assigned, 0 removed.\nAlready assigned by someone else: 2.",
                   {2, 3, 4, 10}},
        EffectCase{"RemovedBySomeoneElse",
                   {deleteStatement(7, {4, 10}), deleteStatement(7, {4})},
                   "Saved: 0 assigned, 1 removed.\nNot assigned any more: 4.",
                   {2, 3}},
        EffectCase{"LongListShortened",
                   {deleteStatement(7, {101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112})},
                   "Saved: 0 assigned, 0 removed.\nNot assigned any more: 101, 102, 103, 104, 105, 106, 107, 108, 109, "
                   "110 and 2 more.",
                   {2, 3, 10}},
        EffectCase{"OtherCentreUntouched",
                   {deleteStatement(8, {2}), insertStatement(-5, 2)},
                   "Saved: 1 assigned, 1 removed.",
                   {2, 3, 10}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- request validation (SQLite) ----

struct RequestCase {
    const char* name;
    QByteArray method;
    QByteArray target;
    int status;
    const char* bodyContains;
    friend void PrintTo(const RequestCase& row, std::ostream* out) { *out << row.name; }
};

class Request : public testing::TestWithParam<RequestCase> {
protected:
    static void SetUpTestSuite() {
        server = new LiveServer;
        ASSERT_TRUE(server->start(Backend::Sqlite));
        seed(server->db());
        for (qint32 centre : {std::numeric_limits<qint32>::max(), std::numeric_limits<qint32>::min()})
            server->db().addCentre(centre);
    }
    static void TearDownTestSuite() {
        EXPECT_EQ(server->stop(), 0);
        delete server;
        server = nullptr;
    }
    static LiveServer* server;
};
LiveServer* Request::server = nullptr;

TEST_P(Request, GetsTheExpectedStatus) {
    const auto& row = GetParam();
    const HttpReply reply = httpRequest(server->process().port(), row.method, row.target);
    EXPECT_EQ(reply.status, row.status) << reply.body.toStdString();
    EXPECT_TRUE(reply.body.contains(row.bodyContains)) << reply.body.toStdString();
    if (row.status != 200) {
        EXPECT_EQ(reply.header("Content-Type"), "text/plain; charset=utf-8");
    }
}

INSTANTIATE_TEST_SUITE_P(
    ServerGet, Request,
    testing::Values(
        RequestCase{"LargestCentre", "GET", "/CenterEmployee.asp?centerID=2147483647", 200, "<CenterEmployees>"},
        RequestCase{"SmallestCentre", "GET", "/CenterEmployee.asp?centerID=-2147483648", 200, "<CenterEmployees>"},
        RequestCase{"LeadingZeros", "GET", "/CenterEmployee.asp?centerID=0007", 200, "<Selected>2</Selected>"},
        RequestCase{"OtherParametersIgnored", "GET", "/CenterEmployee.asp?x=1&centerID=7&y", 200, "<Selected>2<"},
        RequestCase{"ResourceNameInOtherCase", "GET", "/centeremployee.ASP?centerID=7", 200, "<Selected>2<"},
        RequestCase{"Missing", "GET", "/CenterEmployee.asp", 400, "missing centerID"},
        RequestCase{"Empty", "GET", "/CenterEmployee.asp?centerID=", 400, "missing centerID"},
        RequestCase{"NotNumeric", "GET", "/CenterEmployee.asp?centerID=abc", 400, "not a 32-bit integer"},
        RequestCase{"AboveRange", "GET", "/CenterEmployee.asp?centerID=2147483648", 400, "not a 32-bit integer"},
        RequestCase{"BelowRange", "GET", "/CenterEmployee.asp?centerID=-2147483649", 400, "not a 32-bit integer"},
        RequestCase{"Huge", "GET", "/CenterEmployee.asp?centerID=99999999999999999999999999", 400, "not a 32-bit"},
        RequestCase{"LeadingPlus", "GET", "/CenterEmployee.asp?centerID=%2B7", 400, "not a 32-bit integer"},
        RequestCase{"LeadingSpace", "GET", "/CenterEmployee.asp?centerID=%207", 400, "not a 32-bit integer"},
        RequestCase{"Decimal", "GET", "/CenterEmployee.asp?centerID=7.0", 400, "not a 32-bit integer"},
        RequestCase{"Hexadecimal", "GET", "/CenterEmployee.asp?centerID=0x7", 400, "not a 32-bit integer"},
        RequestCase{"SqlText", "GET", "/CenterEmployee.asp?centerID=7%20OR%201=1", 400, "not a 32-bit integer"},
        RequestCase{"GivenTwice", "GET", "/CenterEmployee.asp?centerID=7&centerID=8", 400, "more than once"},
        RequestCase{"UnknownCentre", "GET", "/CenterEmployee.asp?centerID=999999", 404, "unknown centre 999999"},
        RequestCase{"OtherPath", "GET", "/Other.asp?centerID=7", 404, "not found"},
        RequestCase{"Root", "GET", "/", 404, "not found"},
        RequestCase{"Put", "PUT", "/CenterEmployee.asp", 405, "not allowed"},
        RequestCase{"Delete", "DELETE", "/CenterEmployee.asp?centerID=7", 405, "not allowed"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
