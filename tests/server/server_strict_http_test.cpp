// Requests whose framing or target a proxy in front and the server could read differently:
// each is refused, the connection closed at once, and nothing that followed it on that
// connection is served or saved. Raw bytes over a real connection to the real server.

#include "server_test_support.h"

#include <gtest/gtest.h>
#include <microhttpd.h>

#include <chrono>
#include <ostream>
#include <string>

using namespace centeremp::servertest;

namespace {

const QByteArray trustedOrigin = "https://desk.example:8443";

// Assigns employee 4 to centre 8 when applied.
QByteArray batch() { return sqlField(insertStatement(8, 4)); }

// What a smuggler hopes the server reads as a request of its own. Its marker must never come back.
const QByteArray smuggled = "GET /CenterEmployee.asp?centerID=7&zq7probe HTTP/1.1\r\nHost: localhost\r\n\r\n";

QByteArray post(const QByteArray& fields, const QByteArray& body, const QByteArray& version = "HTTP/1.1") {
    return "POST /CenterEmployee.asp " + version +
           "\r\nHost: localhost\r\nContent-Type: application/x-www-form-urlencoded\r\n" + fields + "\r\n" + body;
}

QByteArray chunked(const QByteArray& body) {
    return QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n0\r\n\r\n";
}

QByteArray length(const QByteArray& body) { return "Content-Length: " + QByteArray::number(body.size()) + "\r\n"; }

QByteArray get(const QByteArray& target, const QByteArray& fields = "Host: localhost\r\n",
               const QByteArray& version = "HTTP/1.1") {
    return "GET " + target + ' ' + version + "\r\n" + fields + "\r\n";
}

// libmicrohttpd answers a Content-Length that is no number itself, before the server sees the
// request; before 1.0.0 it writes that reply's status line and headers twice (then closes).
constexpr int libraryLengthReplyLines = MHD_VERSION < 0x01000000 ? 2 : 1;

struct RawRequest {
    const char* name;
    QByteArray bytes;
    int status;
    bool saves = false;
    int statusLines = 1;
    friend void PrintTo(const RawRequest& row, std::ostream* out) { *out << row.name; }
};

class StrictHttp : public testing::TestWithParam<RawRequest> {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            server.start(LiveServer::Backend::Sqlite, {u"--allow-origin"_qs, QString::fromLatin1(trustedOrigin)}));
        server.db().addEmployees({{2, u"Bob"_qs, true}, {4, u"Ann"_qs, true}});
        server.db().assign(7, {2}, QDateTime(QDate(2021, 5, 6), QTime(7, 8, 9), Qt::UTC));
        server.db().addCentre(8);
    }
    void TearDown() override { EXPECT_EQ(server.stop(), 0) << server.process().standardError().toStdString(); }
    LiveServer server;
};

TEST_P(StrictHttp, AnswersOnceAndCloses) {
    const auto& row = GetParam();
    const QString before = server.db().dump();
    centeremp::harness::HttpClient client(server.process().port(), {}, std::chrono::seconds(10));
    std::string error;
    ASSERT_TRUE(client.connectOnly(&error)) << error;
    client.sendRaw(row.bytes);  // the server may close before it has read everything
    QByteArray received;
    EXPECT_TRUE(client.readUntilClosed(&received, &error)) << "still open: " << error;
    EXPECT_TRUE(received.startsWith("HTTP/1.1 " + QByteArray::number(row.status) + ' '))
        << received.left(300).toStdString();
    EXPECT_EQ(("\n" + received).count("\nHTTP/1."), row.statusLines) << received.left(600).toStdString();
    EXPECT_FALSE(received.contains("zq7probe")) << received.left(600).toStdString();
    if (row.saves)
        EXPECT_EQ(server.db().count(u"SELECT COUNT(*) FROM CenterEmployeeCrossReference WHERE CenterID = 8"_qs), 1);
    else
        EXPECT_EQ(server.db().dump(), before);
}

INSTANTIATE_TEST_SUITE_P(
    ServerStrictHttp, StrictHttp,
    testing::Values(
        RawRequest{"LengthWithChunked",
                   post(length(chunked(batch())) + "Transfer-Encoding: chunked\r\n", chunked(batch()) + smuggled), 400},
        RawRequest{"ChunkedWithLength",
                   post("Transfer-Encoding: chunked\r\nContent-Length: 0\r\n", chunked(batch()) + smuggled), 400},
        RawRequest{"TwoDifferentLengths", post("Content-Length: 0\r\n" + length(batch()), batch() + smuggled), 400},
        RawRequest{"TwoEqualLengths", post(length(batch()) + length(batch()), batch() + smuggled), 400},
        RawRequest{"LengthAbove64Bits", post("Content-Length: 18446744073709551621\r\n", batch() + smuggled), 413,
                   false, libraryLengthReplyLines},
        RawRequest{"NegativeLength", post("Content-Length: -1\r\n", batch() + smuggled), 400, false,
                   libraryLengthReplyLines},
        RawRequest{"UnknownCoding", post("Transfer-Encoding: gzip\r\n", batch() + smuggled), 501},
        RawRequest{"ChunkedInHttp10", post("Transfer-Encoding: chunked\r\n", chunked(batch()) + smuggled, "HTTP/1.0"),
                   400},
        RawRequest{"NoHost", get("/CenterEmployee.asp?centerID=7", {}) + smuggled, 400},
        RawRequest{"TwoHosts", get("/CenterEmployee.asp?centerID=7", "Host: localhost\r\nHost: other\r\n") + smuggled,
                   400},
        RawRequest{"NulInPath", get(QByteArray("/CenterEmployee.asp\0.txt?centerID=7", 35)) + smuggled, 400},
        RawRequest{"EscapedNulInPath", get("/CenterEmployee.asp%00.txt?centerID=7") + smuggled, 400},
        RawRequest{"ControlByteInPath", get("/CenterEmployee.asp\x01?centerID=7") + smuggled, 400},
        RawRequest{"EscapedLineBreakInQuery", get("/CenterEmployee.asp?centerID=7%0d%0aX:%20y") + smuggled, 400},
        RawRequest{"SpaceInTarget", get("/CenterEmployee.asp?centerID=7 x") + smuggled, 400},
        RawRequest{"OtherOrigin", post(length(batch()) + "Origin: http://evil.example\r\n", batch() + smuggled), 403},
        RawRequest{"TrustedOrigin",
                   post(length(batch()) + "Origin: " + trustedOrigin + "\r\nConnection: close\r\n", batch()), 200,
                   true},
        RawRequest{"CentreNotEchoed", get("/CenterEmployee.asp?centerID=zq7probe", "Host: x\r\nConnection: close\r\n"),
                   400},
        RawRequest{"Http10WithoutHost", get("/CenterEmployee.asp?centerID=7", {}, "HTTP/1.0"), 200}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
