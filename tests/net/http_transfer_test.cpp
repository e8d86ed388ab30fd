#include "net/http_transfer.h"

#include "net/http_feed_source.h"
#include "rules/runtime_error.h"
#include "support/canned_http_server.h"
#include "support/control_harness.h"

#include <gtest/gtest.h>
#include <QCoreApplication>

namespace {

TEST(FeedSource, ReturnsTheBodyOfASuccessfulGet) {
    CannedHttpServer server;
    server.respond(200, "<r/>");
    HttpFeedSource source;
    EXPECT_EQ(source.get(server.url() + QStringLiteral("/CenterEmployee.asp?centerID=7")), QByteArray("<r/>"));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].method, QByteArray("GET"));
    EXPECT_EQ(server.requests()[0].target, QByteArray("/CenterEmployee.asp?centerID=7"));
}

TEST(FeedSource, FailuresRaiseWithAReason) {
    CannedHttpServer errorPage;
    errorPage.respond(500, "oops", "text/plain");
    CannedHttpServer huge;
    huge.respond(200, QByteArray(2048, 'x'));
    CannedHttpServer beyondAnyCentre;
    beyondAnyCentre.respond(200, QByteArray(TransferLimits::kFeedCap + 1, 'x'));
    beyondAnyCentre.deliver(CannedHttpServer::Delivery::Chunked);  // no size announced up front
    struct Case {
        QString address;
        TransferLimits limits;
    };
    TransferLimits small;
    small.maxBody = 1024;
    const Case cases[] = {
        {QStringLiteral("/CenterEmployee.asp?centerID=1"), {}},  // relative: no server at all
        {QStringLiteral("file:///etc/passwd"), {}},
        {closedPortUrl() + QStringLiteral("/x"), {}},
        {errorPage.url() + QStringLiteral("/x"), {}},
        {huge.url() + QStringLiteral("/x"), small},
        {beyondAnyCentre.url() + QStringLiteral("/x"), {}},
    };
    for (const Case& c : cases) {
        HttpFeedSource source(c.limits);
        try {
            source.get(c.address);
            ADD_FAILURE() << "no error for " << c.address.toStdString();
        } catch (const RuntimeError& e) {
            EXPECT_FALSE(e.description().isEmpty());
        }
    }
}

TEST(Transfer, PostsWithTheHeaderAndHandsTheReplyOutInChunks) {
    CannedHttpServer server;
    const QString reply = QString(2500, u'r');
    server.respond(200, reply.toUtf8(), "text/plain");
    HttpTransfer transfer;
    std::vector<int> states;
    QObject::connect(&transfer, &Transfer::stateChanged, [&states](int s) { states.push_back(s); });
    transfer.execute(server.url() + QStringLiteral("/CenterEmployee.asp"), QStringLiteral("Post"), "SQL=x&",
                     QStringLiteral("Content-Type: application/x-www-form-urlencoded"));
    EXPECT_THROW(transfer.execute(server.url(), QStringLiteral("Post"), "", QString()), RuntimeError);
    while (transfer.stillExecuting()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_TRUE(transfer.delivered());
    EXPECT_EQ(states.back(), Transfer::StateResponseCompleted);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].method, QByteArray("POST"));
    EXPECT_EQ(server.requests()[0].body, QByteArray("SQL=x&"));
    EXPECT_TRUE(server.requests()[0].headers.contains("Content-Type: application/x-www-form-urlencoded"));
    EXPECT_EQ(transfer.getChunk(1024).size(), 1024);
    EXPECT_EQ(transfer.getChunk(1024).size(), 1024);
    EXPECT_EQ(transfer.getChunk(1024).size(), 452);
    EXPECT_TRUE(transfer.getChunk(1024).isEmpty());
}

TEST(Transfer, RefusalsAndUnreachableServersAreNotDelivered) {
    CannedHttpServer refusing;
    refusing.respond(400, "field 1: not an accepted statement", "text/plain");
    CannedHttpServer redirecting;
    redirecting.respond(307, "", "text/plain");
    struct Case {
        QString url;
        int lastState;
    };
    const Case cases[] = {
        {refusing.url(), Transfer::StateResponseCompleted},
        {redirecting.url(), Transfer::StateResponseCompleted},
        {closedPortUrl(), Transfer::StateError},
    };
    for (const Case& c : cases) {
        HttpTransfer transfer;
        int last = 0;
        QObject::connect(&transfer, &Transfer::stateChanged, [&last](int s) { last = s; });
        transfer.execute(c.url + QStringLiteral("/CenterEmployee.asp"), QStringLiteral("Post"), "SQL=x&", QString());
        while (transfer.stillExecuting()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        EXPECT_FALSE(transfer.delivered()) << c.url.toStdString();
        EXPECT_FALSE(transfer.failure().isEmpty());
        EXPECT_EQ(last, c.lastState);
    }
}

using Delivery = CannedHttpServer::Delivery;

// Short limits, so that a stall or a drip fails within seconds.
TransferLimits quickLimits() {
    TransferLimits limits;
    limits.inactivity = std::chrono::milliseconds(500);
    limits.deadline = std::chrono::milliseconds(2000);
    return limits;
}

struct BrokenAnswer {
    const char* what;
    Delivery delivery;
    const char* reason;  // the start of what the operator is told
};

const BrokenAnswer kBrokenAnswers[] = {
    {"cut short", Delivery::CutShort, "the server's answer was cut short"},
    {"chunks without their end", Delivery::UnendedChunks, "the server's answer was cut short"},
    {"headers then silence", Delivery::Stall, "the server stopped answering"},
    {"a byte now and then past the deadline", Delivery::Drip, "the server did not finish its answer within 2 seconds"},
    {"hang-up without an answer", Delivery::HangUp, "the server closed the connection without answering"},
};

class BrokenAnswers : public ::testing::TestWithParam<BrokenAnswer> {};

TEST_P(BrokenAnswers, AFeedThatDidNotArriveWholeIsAFailure) {
    CannedHttpServer server;
    server.respond(200, QByteArray(507, 'x'));
    server.deliver(GetParam().delivery, std::chrono::milliseconds(100));
    HttpFeedSource source(quickLimits());
    try {
        source.get(server.url() + QStringLiteral("/CenterEmployee.asp?centerID=1"));
        ADD_FAILURE() << "no error";
    } catch (const RuntimeError& e) {
        EXPECT_TRUE(e.description().startsWith(QString::fromUtf8(GetParam().reason))) << e.description().toStdString();
    }
}

TEST_P(BrokenAnswers, APostIsSentOnceAndAnIncompleteReplyIsAFailure) {
    CannedHttpServer server;
    server.respond(200, QByteArray(507, 'x'), "text/plain");
    server.deliver(GetParam().delivery, std::chrono::milliseconds(100));
    HttpTransfer transfer(quickLimits());
    std::vector<int> states;
    QObject::connect(&transfer, &Transfer::stateChanged, [&states](int s) { states.push_back(s); });
    transfer.execute(server.url() + QStringLiteral("/CenterEmployee.asp"), QStringLiteral("Post"), "SQL=x&", QString());
    while (transfer.stillExecuting()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(states, (std::vector<int>{Transfer::StateRequesting, Transfer::StateError}));
    EXPECT_FALSE(transfer.delivered());
    EXPECT_TRUE(transfer.failure().startsWith(QString::fromUtf8(GetParam().reason)))
        << transfer.failure().toStdString();
    EXPECT_TRUE(transfer.getChunk(1024).isEmpty());
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.connections(), 1);
}

INSTANTIATE_TEST_SUITE_P(Table, BrokenAnswers, ::testing::ValuesIn(kBrokenAnswers),
                         [](const auto& info) { return caseName(info.param.what); });

TEST(Transfers, ThePathGoesOutExactlyAsBuiltAndChunkedBodiesArriveWhole) {
    CannedHttpServer server;
    const QByteArray body(2500, 'b');
    server.respond(200, body);
    server.deliver(Delivery::Chunked);
    HttpFeedSource source;
    EXPECT_EQ(source.get(server.url() + QStringLiteral("//CenterEmployee.asp?centerID=3")), body);
    HttpTransfer transfer;
    transfer.execute(server.url() + QStringLiteral("//CenterEmployee.asp"), QStringLiteral("Post"), "SQL=x&",
                     QString());
    while (transfer.stillExecuting()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_TRUE(transfer.delivered());
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, QByteArray("//CenterEmployee.asp?centerID=3"));
    EXPECT_EQ(requests[1].target, QByteArray("//CenterEmployee.asp"));
}

}  // namespace
