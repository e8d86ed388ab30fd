// Every refused batch answers 4xx with a reason and applies nothing: each row's bad field
// follows two valid statements, and both tables must dump identically before and after.

#include "server_test_support.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>

using namespace centeremp::servertest;

namespace {

const QString head = u"INSERT INTO CenterEmployeeCrossReference (CenterID,EmployeeID,RecordLastUpdated) VALUES ("_qs;

// Two statements that would change something if the batch were applied.
QByteArray validPrefix() { return sqlField(insertStatement(8, 4)) + sqlField(deleteStatement(7, {2})); }

QByteArray withBadThird(const QString& statement) { return validPrefix() + sqlField(statement); }

QByteArray overLimitBody() {
    QByteArray body = validPrefix();
    const QByteArray filler = sqlField(insertStatement(8, 9));
    while (body.size() <= 16 * 1024 * 1024) body += filler;
    return body;
}

struct RefusedBody {
    const char* name;
    QByteArray body;
    int status;
    const char* reasonContains;
    QByteArray contentType = "application/x-www-form-urlencoded";
    bool chunked = false;
    friend void PrintTo(const RefusedBody& row, std::ostream* out) { *out << row.name; }
};

class RefusedBatch : public testing::TestWithParam<RefusedBody> {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start(LiveServer::Backend::Sqlite));
        server.db().addEmployees(
            {{2, u"Bob"_qs, true}, {3, u"Inactive Ida"_qs, false}, {4, u"Ann"_qs, true}, {9, u"Ian"_qs, true}});
        server.db().assign(7, {2, 3}, QDateTime(QDate(2021, 5, 6), QTime(7, 8, 9), Qt::UTC));
        server.db().addCentre(8);
    }
    void TearDown() override { EXPECT_EQ(server.stop(), 0) << server.process().standardError().toStdString(); }
    LiveServer server;
};

TEST_P(RefusedBatch, ChangesNothing) {
    const auto& row = GetParam();
    const QString before = server.db().dump();
    ASSERT_FALSE(before.isEmpty());
    const HttpReply reply =
        httpRequest(server.process().port(), "POST", "/CenterEmployee.asp", row.body, row.contentType, row.chunked);
    EXPECT_EQ(reply.status, row.status) << reply.body.left(400).toStdString();
    EXPECT_EQ(reply.header("Content-Type"), "text/plain; charset=utf-8");
    EXPECT_TRUE(reply.body.contains(row.reasonContains)) << reply.body.left(400).toStdString();
    EXPECT_EQ(server.db().dump(), before);
    // And the server goes on serving.
    EXPECT_EQ(server.get("/CenterEmployee.asp?centerID=7").status, 200);
}

const char* notAccepted = "field 3: not an accepted statement";

INSTANTIATE_TEST_SUITE_P(
    ServerRefusal, RefusedBatch,
    testing::Values(
        RefusedBody{
            "AnotherTable",
            withBadThird(u"INSERT INTO employees (CenterID,EmployeeID,RecordLastUpdated) VALUES (1,2,GETDATE()) "_qs),
            400, notAccepted},
        RefusedBody{"Update", withBadThird(u"UPDATE CenterEmployeeCrossReference SET CenterID=1"_qs), 400, notAccepted},
        RefusedBody{"Select", withBadThird(u"SELECT * FROM employees"_qs), 400, notAccepted},
        RefusedBody{"Drop", withBadThird(u"DROP TABLE CenterEmployeeCrossReference"_qs), 400, notAccepted},
        RefusedBody{"SecondStatementInField", withBadThird(insertStatement(8, 9) + u"; DELETE FROM employees"_qs), 400,
                    notAccepted},
        RefusedBody{"LineComment", withBadThird(deleteStatement(7, {3}) + u" --"_qs), 400, notAccepted},
        RefusedBody{"BlockComment", withBadThird(head + u"8,/**/9,GETDATE())"_qs), 400, notAccepted},
        RefusedBody{"SpaceBeforeInList",
                    withBadThird(u"DELETE FROM CenterEmployeeCrossReference WHERE CenterID=7 AND EmployeeID IN (3)"_qs),
                    400, notAccepted},
        RefusedBody{"EmptyInList", withBadThird(deleteStatement(7, {})), 400, notAccepted},
        RefusedBody{"Decimal", withBadThird(head + u"8,1.5,GETDATE())"_qs), 400, notAccepted},
        RefusedBody{"Exponent", withBadThird(head + u"8,1e3,GETDATE())"_qs), 400, notAccepted},
        RefusedBody{"AboveRange", withBadThird(head + u"8,2147483648,GETDATE())"_qs), 400, "32-bit range"},
        RefusedBody{"BelowRange", withBadThird(head + u"-2147483649,9,GETDATE())"_qs), 400, "32-bit range"},
        RefusedBody{"Hexadecimal", withBadThird(head + u"8,0x10,GETDATE())"_qs), 400, notAccepted},
        RefusedBody{"LeadingPlus", withBadThird(head + u"+8,9,GETDATE())"_qs), 400, notAccepted},
        RefusedBody{"Quoted", withBadThird(head + u"8,'9',GETDATE())"_qs), 400, notAccepted},
        RefusedBody{"Lowercase", withBadThird(insertStatement(8, 9).toLower()), 400, notAccepted},
        RefusedBody{"DoubledSpace", withBadThird(insertStatement(8, 9).replace(u" VALUES"_qs, u"  VALUES"_qs)), 400,
                    notAccepted},
        RefusedBody{"TrailingGarbage", withBadThird(insertStatement(8, 9) + u"OR 1=1"_qs), 400, notAccepted},
        RefusedBody{"OtherFieldName", validPrefix() + "Sql=" + sqlField(insertStatement(8, 9)).mid(4), 400,
                    "field 3: unexpected field name"},
        RefusedBody{"MalformedEscape", validPrefix() + "SQL=%G1&", 400, "field 3: malformed percent escape"},
        RefusedBody{"EscapeCutShort", validPrefix() + "SQL=%4", 400, "field 3: malformed percent escape"},
        RefusedBody{"UnknownEmployee", withBadThird(insertStatement(8, 5)), 422, "field 3: employee 5 does not exist"},
        RefusedBody{"InactiveEmployee", withBadThird(insertStatement(8, 3)), 422, "field 3: employee 3 is inactive"},
        RefusedBody{"UnknownCentre", withBadThird(insertStatement(999999, 2)), 404, "unknown centre 999999"},
        RefusedBody{"NoSqlField", "&&&", 400, "no SQL field"}, RefusedBody{"EmptyBody", "", 400, "empty body"},
        RefusedBody{"NotAForm", validPrefix(), 415, "application/x-www-form-urlencoded", "application/json"},
        RefusedBody{"OverLimitAnnounced", overLimitBody(), 413, "too large"},
        RefusedBody{"OverLimitStreamed", overLimitBody(), 413, "too large", "application/x-www-form-urlencoded", true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
