// What load balancers and monitors read: /healthz, /readyz, /metrics in the Prometheus text
// format (to this machine, or behind a proxy only to an operator of all centres), and a name
// for every request in its reply and its log line.

#include "server_test_support.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

using namespace centeremp;
using namespace centeremp::servertest;
using Backend = LiveServer::Backend;

namespace {

TEST(ServerMonitoring, CountsWhatItServedAndNamesEveryRequest) {
    LiveServer server;
    ASSERT_TRUE(server.start(Backend::Sqlite, {u"--threads"_qs, u"1"_qs}));
    server.db().addEmployees({{1, u"Ann"_qs, true}, {2, u"Bob"_qs, true}});
    server.db().addCentre(7);
    const HttpReply feed = server.get("/CenterEmployee.asp?centerID=7");
    EXPECT_EQ(feed.status, 200);
    EXPECT_EQ(server.post(sqlField(insertStatement(7, 1)) + sqlField(insertStatement(7, 2))).status, 200);
    EXPECT_EQ(server.get("/nothing-here").status, 404);
    const HttpReply health = server.get("/healthz");
    EXPECT_EQ(health.status, 200);
    EXPECT_EQ(server.get("/readyz").status, 200);

    const HttpReply metrics = server.get("/metrics");
    ASSERT_EQ(metrics.status, 200);
    EXPECT_EQ(metrics.header("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
    for (const char* line : {
             "centeremp_requests_total{page=\"/CenterEmployee.asp\",method=\"GET\",status=\"200\"} 1",
             "centeremp_requests_total{page=\"/CenterEmployee.asp\",method=\"POST\",status=\"200\"} 1",
             "centeremp_requests_total{page=\"other\",method=\"GET\",status=\"404\"} 1",
             "centeremp_requests_total{page=\"/readyz\",method=\"GET\",status=\"200\"} 1",
             "centeremp_request_duration_seconds_bucket{le=\"+Inf\"} 5",
             "centeremp_request_duration_seconds_count 5",
             "centeremp_batches_applied_total 1",
             "centeremp_batch_rows_total{change=\"assigned\"} 2",
             "centeremp_batch_rows_total{change=\"removed\"} 0",
             "centeremp_database_errors_total 0",
             "centeremp_open_connections 1",
             "centeremp_queued_requests{pool=\"writing\"} 0",
             "centeremp_workers{pool=\"reading\"} 1",
         })
        EXPECT_TRUE(metrics.body.contains(QByteArray("\n") + line + '\n')) << line << "\n"
                                                                           << metrics.body.toStdString();

    // A proxy's name for a request is kept; without one the server makes one.
    harness::HttpClient client(server.process().port());
    std::string error;
    ASSERT_TRUE(client.connectOnly(&error)) << error;
    ASSERT_TRUE(
        client.sendRaw("GET /healthz HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Request-Id: lb-4f2a.9\r\n"
                       "Connection: close\r\n\r\n"));
    QByteArray proxied;
    EXPECT_TRUE(client.readUntilClosed(&proxied, &error)) << error;
    EXPECT_TRUE(proxied.contains("\r\nX-Request-Id: lb-4f2a.9\r\n")) << proxied.toStdString();
    const QByteArray made = feed.header("X-Request-Id");
    EXPECT_FALSE(made.isEmpty());
    EXPECT_NE(made, health.header("X-Request-Id"));
    EXPECT_EQ(server.stop(), 0);
    const QByteArray log = server.process().standardError();
    EXPECT_TRUE(log.contains(" id=" + made + " address=127.0.0.1 method=GET path=/CenterEmployee.asp status=200 ms="))
        << log.toStdString();
    EXPECT_TRUE(log.contains(" id=lb-4f2a.9 address=127.0.0.1 method=GET path=/healthz status=200 ms="));
}

struct MetricsReader {
    const char* name;
    const char* operatorName;  // none: no credentials
    int status;
    friend void PrintTo(const MetricsReader& row, std::ostream* out) { *out << row.name; }
};

// Behind a proxy on this machine every request comes from loopback, so loopback earns nothing.
class BehindProxy : public testing::TestWithParam<MetricsReader> {};

TEST_P(BehindProxy, OnlyAnOperatorOfAllCentresReadsTheMetrics) {
    LiveServer server;
    ASSERT_TRUE(server.start(Backend::Sqlite, {u"--behind-proxy"_qs}));
    server.db().addCentre(7);
    server.admin({u"operator"_qs, u"add"_qs, u"ann"_qs, u"--centres"_qs, u"7"_qs}, "centre-seven-pass\n");
    server.admin({u"operator"_qs, u"add"_qs, u"lead"_qs, u"--all-centres"_qs}, "every-centre-pass\n");
    const char* name = GetParam().operatorName;
    const QByteArray authorization =
        !name ? QByteArray()
              : basicAuthorization(
                    QString::fromLatin1(name),
                    QString::fromLatin1(name == std::string("ann") ? "centre-seven-pass" : "every-centre-pass"));
    const HttpReply reply = httpRequest(server.process().port(), "GET", "/metrics", {}, {}, false, authorization);
    EXPECT_EQ(reply.status, GetParam().status) << reply.body.toStdString();
    EXPECT_EQ(reply.body.contains("centeremp_requests_total"), GetParam().status == 200);
    // The proxy's health checks need no sign-in.
    EXPECT_EQ(server.get("/healthz").status, 200);
    EXPECT_EQ(server.get("/readyz").status, 200);
    EXPECT_EQ(server.stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(ServerMonitoring, BehindProxy,
                         testing::Values(MetricsReader{"NoCredentials", nullptr, 401},
                                         MetricsReader{"OperatorOfOneCentre", "ann", 403},
                                         MetricsReader{"OperatorOfAllCentres", "lead", 200}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
