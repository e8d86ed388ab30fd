// The largest batches the control can send: 32767 INSERT fields, or one DELETE naming 32767
// employees. They must be accepted and applied whole.

#include "server_test_support.h"

#include <gtest/gtest.h>

using namespace centeremp::servertest;
using Backend = LiveServer::Backend;

namespace {

constexpr qint32 largest = 32767;

class LargeBatch : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (!LiveServer::available(GetParam())) GTEST_SKIP() << "CENTEREMP_TEST_PG is not set";
        ASSERT_TRUE(server.start(GetParam()));
        std::vector<TestEmployee> employees;
        for (qint32 id = 1; id <= largest; ++id) employees.push_back({id, QStringLiteral("Employee %1").arg(id), true});
        server.db().addEmployees(employees);
        server.db().addCentre(3);
    }
    void TearDown() override {
        if (LiveServer::available(GetParam())) {
            EXPECT_EQ(server.stop(), 0);
        }
    }
    LiveServer server;
};

TEST_P(LargeBatch, Accepts32767Inserts) {
    QByteArray body;
    for (qint32 id = largest; id >= 1; --id)  // the order the control happens to use must not matter
        body += sqlField(insertStatement(3, id));
    const HttpReply reply = server.post(body);
    ASSERT_EQ(reply.status, 200) << reply.body.toStdString();
    EXPECT_EQ(reply.body.trimmed(), "Saved: 32767 assigned, 0 removed.");
    EXPECT_EQ(server.db().count(u"SELECT COUNT(*) FROM CenterEmployeeCrossReference WHERE CenterID = 3"_qs), largest);

    const HttpReply feed = server.get("/CenterEmployee.asp?centerID=3");
    ASSERT_EQ(feed.status, 200);
    EXPECT_TRUE(
        feed.body.contains("<Counts><Count><NonSelected>0</NonSelected><Selected>32767</Selected></Count></Counts>"));
    // Ascending by ID: the first listed is 1 and the last 32767.
    EXPECT_LT(feed.body.indexOf("<ID>1</ID>"), feed.body.indexOf("<ID>2</ID>"));
    EXPECT_LT(feed.body.indexOf("<ID>9</ID>"), feed.body.indexOf("<ID>10</ID>"));
    EXPECT_LT(feed.body.indexOf("<ID>32766</ID>"), feed.body.indexOf("<ID>32767</ID>"));
}

TEST_P(LargeBatch, AcceptsADeleteOf32767Ids) {
    std::vector<qint32> all;
    for (qint32 id = 1; id <= largest; ++id) all.push_back(id);
    server.db().assign(4, all, QDateTime::currentDateTimeUtc());
    server.db().assign(5, {1, 32767}, QDateTime::currentDateTimeUtc());

    const HttpReply reply = server.post(sqlField(deleteStatement(4, all)));
    ASSERT_EQ(reply.status, 200) << reply.body.toStdString();
    EXPECT_EQ(reply.body.trimmed(), "Saved: 0 assigned, 32767 removed.");
    EXPECT_EQ(server.db().count(u"SELECT COUNT(*) FROM CenterEmployeeCrossReference"_qs), 2);
}

INSTANTIATE_TEST_SUITE_P(ServerBackend, LargeBatch, testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const auto& info) { return info.param == Backend::Sqlite ? "Sqlite" : "Postgres"; });

}  // namespace
