#include "net/sign_in.h"
#include "net/http_feed_source.h"
#include "net/http_transfer.h"
#include "rules/runtime_error.h"
#include "support/canned_http_server.h"
#include "support/control_harness.h"
#include "support/test_certificates.h"
#include "surface/recording_ui_services.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QUrl>
#include <functional>

namespace {

TEST(SignIn, RealmOfABasicChallenge) {
    const std::pair<QByteArray, std::optional<QString>> cases[] = {
        {R"(Basic realm="TarvoCenterEmp", charset="UTF-8")", QStringLiteral("TarvoCenterEmp")},
        {R"(basic  charset="UTF-8",realm="a \"quoted\" one, with comma")",
         QStringLiteral("a \"quoted\" one, with comma")},
        {"Basic realm=plain", QStringLiteral("plain")},
        {"Basic", QString()},
        {R"(Bearer realm="api", error="invalid_token", Basic realm="second")", QStringLiteral("second")},
        {R"(Negotiate abc==, Basic realm="after a token68")", QStringLiteral("after a token68")},
        {R"(Bearer realm="api")", std::nullopt},
        {"", std::nullopt},
        {R"(Basicx realm="no")", std::nullopt},
    };
    for (const auto& [header, realm] : cases) EXPECT_EQ(basicRealm(header), realm) << header.toStdString();
}

TEST(SignIn, APasswordGoesOverPlainHttpOnlyToThisComputer) {
    const std::pair<const char*, bool> cases[] = {
        {"https://example.invalid/x", true}, {"http://127.0.0.1:8080/x", true},
        {"http://127.200.1.9/x", true},      {"http://[::1]:8080/x", true},
        {"http://LocalHost:8080/x", true},   {"http://[::ffff:127.0.0.1]/x", true},
        {"http://example.invalid/x", false}, {"http://128.0.0.1/x", false},
        {"http://10.0.0.1/x", false},        {"http://localhost.example.invalid/x", false},
        {"http://[::2]/x", false},           {"ftp://127.0.0.1/x", false},
    };
    for (const auto& [address, may] : cases) EXPECT_EQ(mayCarryPassword(QString::fromUtf8(address)), may) << address;
}

// With credentials known, a request to a plain-http server elsewhere is refused before anything
// goes out (the name is not even looked up); without, a 401 from there asks no one.
TEST(SignIn, NoPasswordTowardsAPlainHttpServerElsewhere) {
    RecordingUiServices ui;
    ui.signInAnswer = Credentials{QStringLiteral("ann"), QStringLiteral("pw")};
    SignIn signIn(ui);
    const QString elsewhere = QStringLiteral("http://example.invalid/CenterEmployee.asp");
    SignInRound withoutCredentials(&signIn, elsewhere);
    EXPECT_FALSE(withoutCredentials.challenged(R"(Basic realm="r")"));
    EXPECT_TRUE(withoutCredentials.failure().contains(QStringLiteral("https://")))
        << withoutCredentials.failure().toStdString();
    EXPECT_TRUE(ui.prompts.empty());

    signIn.setCredentials(QStringLiteral("ann"), QStringLiteral("pw"));
    HttpFeedSource feed({}, &signIn);
    HttpTransfer transfer({}, &signIn);
    for (const auto& attempt : std::initializer_list<std::function<void()>>{
             [&] { feed.get(elsewhere + QStringLiteral("?centerID=1")); },
             [&] { transfer.execute(elsewhere, QStringLiteral("Post"), "SQL=x&", QString()); }}) {
        try {
            attempt();
            ADD_FAILURE() << "sent";
        } catch (const RuntimeError& e) {
            EXPECT_TRUE(e.description().startsWith(QStringLiteral("a password goes over plain http only")))
                << e.description().toStdString();
        }
    }
    EXPECT_FALSE(transfer.stillExecuting());
    EXPECT_TRUE(ui.prompts.empty());
}

struct TlsCase {
    const char* what;
    const char* certificate;  // server, other or self
    const char* host;
    bool trustTestCa;     // else only a certificate that did not issue the server's
    const char* failure;  // the start of the reason, or nullptr when the feed arrives
};

const TlsCase kTlsCases[] = {
    {"trusted certificate by address", "server", "127.0.0.1", true, nullptr},
    {"trusted certificate by name", "server", "localhost", true, nullptr},
    {"self signed", "self", "127.0.0.1", true, "the server's certificate could not be verified ("},
    {"issuer not trusted", "server", "127.0.0.1", false, "the server's certificate could not be verified ("},
    {"certificate for another name", "other", "127.0.0.1", true, "the server's certificate could not be verified ("},
};

class Tls : public ::testing::TestWithParam<TlsCase> {
protected:
    static void SetUpTestSuite() { certificates = new TestCertificates; }
    static void TearDownTestSuite() { delete std::exchange(certificates, nullptr); }
    void SetUp() override { ASSERT_TRUE(certificates->ok()) << certificates->error().toStdString(); }

    static QString certificate(const char* kind, bool key) {
        const QString name = QString::fromUtf8(kind);
        if (name == QLatin1String("self")) return key ? certificates->selfSignedKey() : certificates->selfSignedCert();
        if (name == QLatin1String("other")) return key ? certificates->otherNameKey() : certificates->otherNameCert();
        return key ? certificates->serverKey() : certificates->serverCert();
    }
    static TestCertificates* certificates;
};
TestCertificates* Tls::certificates = nullptr;

TEST_P(Tls, BothTransportsVerifyTheServer) {
    const TlsCase& c = GetParam();
    OpensslTlsServer server(certificate(c.certificate, false), certificate(c.certificate, true));
    ASSERT_TRUE(server.ok());
    // Trusting only the test authority (through the variable OpenSSL reads), or only an unrelated
    // certificate: the system's trust store has never heard of either.
    ScopedEnvironment trust("SSL_CERT_FILE",
                            (c.trustTestCa ? certificates->caFile() : certificates->selfSignedCert()).toUtf8());
    ScopedEnvironment noDir("SSL_CERT_DIR", "/nonexistent");
    const QString address = server.url(QString::fromUtf8(c.host)) + QStringLiteral("/CenterEmployee.asp");
    HttpFeedSource feed;
    QString feedFailure;
    try {
        EXPECT_FALSE(feed.get(address + QStringLiteral("?centerID=1")).isEmpty());
    } catch (const RuntimeError& e) {
        feedFailure = e.description();
    }
    // The test server answers only GET: a POST that got through TLS waits for an answer.
    TransferLimits quick;
    quick.inactivity = std::chrono::milliseconds(1000);
    HttpTransfer transfer(quick);
    transfer.execute(address, QStringLiteral("Post"), "SQL=x&", QString());
    while (transfer.stillExecuting()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!c.failure) {
        EXPECT_TRUE(feedFailure.isEmpty()) << feedFailure.toStdString();
        EXPECT_EQ(transfer.failure(), QStringLiteral("the server stopped answering"));
        return;
    }
    EXPECT_TRUE(feedFailure.startsWith(QString::fromUtf8(c.failure))) << feedFailure.toStdString();
    EXPECT_FALSE(transfer.delivered());
    EXPECT_TRUE(transfer.failure().startsWith(QString::fromUtf8(c.failure))) << transfer.failure().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, Tls, ::testing::ValuesIn(kTlsCases),
                         [](const auto& info) { return caseName(info.param.what); });

TEST(TlsTrust, AnUnreadableTrustFileIsAFailureThatSaysSo) {
    ScopedEnvironment trust("SSL_CERT_FILE", "/nonexistent/ca.pem");
    ScopedEnvironment noDir("SSL_CERT_DIR", "/nonexistent");
    CannedHttpServer plain;  // never reached: the TLS setup fails first
    HttpFeedSource feed;
    try {
        feed.get(QStringLiteral("https://127.0.0.1:%1/x").arg(QUrl(plain.url()).port()));
        ADD_FAILURE() << "no error";
    } catch (const RuntimeError& e) {
        EXPECT_TRUE(e.description().startsWith(QStringLiteral("the trusted certificates could not be read (")))
            << e.description().toStdString();
    }
}

}  // namespace
