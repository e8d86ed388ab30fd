// Two servers on one PostgreSQL database behind Debian's nginx, which ends TLS and balances
// round robin, as a company runs them: the control loads and commits through it over https,
// and when one instance is killed in the middle of operators' work, only what that instance
// had in flight fails, no batch is applied in part, and the others carry on.

#include "host_run.h"
#include "server/harness/nginx_balancer.h"
#include "server/server_test_support.h"
#include "support/test_certificates.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace centeremp;
using namespace centeremp::servertest;

constexpr int kOperators = 6;
constexpr qint32 kCentre = 1;
constexpr qint32 kEmployeesPerOperator = 2000;

// One operator's requests over one https connection through the balancer.
class Operator {
public:
    Operator(const QString& url, const QString& caFile) : url_(url.toUtf8()), ca_(caFile.toUtf8()) {
        curl_ = curl_easy_init();
        curl_easy_setopt(curl_, CURLOPT_CAINFO, ca_.constData());
        curl_easy_setopt(curl_, CURLOPT_TIMEOUT, 60L);
        curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &Operator::keep);
        curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &body_);
    }
    ~Operator() { curl_easy_cleanup(curl_); }

    // The HTTP status, or 0 when no answer came.
    long get(const QByteArray& target) {
        curl_easy_setopt(curl_, CURLOPT_HTTPGET, 1L);
        return perform(target);
    }
    long post(const QByteArray& body) {
        curl_easy_setopt(curl_, CURLOPT_POST, 1L);
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, body.constData());
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE, long(body.size()));
        return perform("/CenterEmployee.asp");
    }
    const QByteArray& body() const { return body_; }

private:
    static size_t keep(char* data, size_t size, size_t count, void* body) {
        static_cast<QByteArray*>(body)->append(data, qsizetype(size * count));
        return size * count;
    }
    long perform(const QByteArray& target) {
        body_.clear();
        const QByteArray address = url_ + target;
        curl_easy_setopt(curl_, CURLOPT_URL, address.constData());
        long status = 0;
        if (curl_easy_perform(curl_) == CURLE_OK) curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
        return status;
    }

    QByteArray url_;
    QByteArray ca_;
    CURL* curl_ = nullptr;
    QByteArray body_;
};

// What one operator saw: each batch is two assignments of employees of its own.
struct Outcome {
    int loads = 0, loadFailures = 0, saves = 0, saveFailures = 0, afterKill = 0;
    std::vector<std::pair<qint32, long>> batches;  // first employee, status
};

Outcome work(const QString& url, const QString& ca, int index, const std::atomic<bool>& stop,
             const std::atomic<bool>& killed) {
    Operator client(url, ca);
    Outcome outcome;
    const qint32 first = 1 + index * kEmployeesPerOperator;
    for (qint32 employee = first; !stop && employee + 1 < first + kEmployeesPerOperator; employee += 2) {
        const long load = client.get("/CenterEmployee.asp?centerID=1");
        ++outcome.loads;
        outcome.loadFailures += load != 200;
        const long save = client.post(sqlField(insertStatement(kCentre, employee)) +
                                      sqlField(insertStatement(kCentre, employee + 1)));
        ++outcome.saves;
        outcome.saveFailures += save != 200;
        outcome.batches.emplace_back(employee, save);
        if (killed && load == 200 && save == 200) ++outcome.afterKill;
    }
    return outcome;
}

// centeremp-host on centre 9 running a script, trusting the test's certificate authority.
HostRun runHost(const QString& script, const QString& caFile) {
    return runHost(u"9"_qs, QString(), script, {{u"SSL_CERT_FILE"_qs, caFile}});
}

QStringList selectedIds(const QJsonObject& dump) {
    QStringList ids;
    const auto rows = dump[u"lists"_qs].toObject()[u"lstSelectedEmployees"_qs].toObject()[u"rows"_qs].toArray();
    for (const QJsonValue& row : rows) ids << row.toArray()[0].toString();
    return ids;
}

TEST(ThroughNginx, ControlCommitsAndAKilledInstanceCostsOnlyItsRequestsInFlight) {
    ensureApplication();
    if (!LiveServer::available(LiveServer::Backend::Postgres)) GTEST_SKIP() << "CENTEREMP_TEST_PG is not set";
    TestCertificates certificates;
    ASSERT_TRUE(certificates.ok()) << certificates.error().toStdString();
    harness::ScratchDatabase database(qEnvironmentVariable("CENTEREMP_TEST_PG"),
                                      QStringLiteral("centeremp_nginx_%1_%2")
                                          .arg(QCoreApplication::applicationPid())
                                          .arg(QRandomGenerator::global()->bounded(1000000)));
    ASSERT_TRUE(database.problem().isEmpty()) << database.problem().toStdString();
    ServerProcess first, second;
    const QStringList arguments{u"--db"_qs, database.argument(), u"--behind-proxy"_qs, u"--threads"_qs, u"2"_qs};
    ASSERT_TRUE(first.start(arguments));
    ASSERT_TRUE(second.start(arguments));
    TestDatabase db(database.address());
    std::vector<TestEmployee> employees;
    for (qint32 id = 1; id <= kOperators * kEmployeesPerOperator; ++id)
        employees.push_back({id, QStringLiteral("Employee %1").arg(id), true});
    db.addEmployees(employees);
    db.addCentre(kCentre);
    db.assign(9, {3}, QDateTime::currentDateTimeUtc());

    harness::NginxBalancer nginx({first.port(), second.port()}, certificates.serverCert(), certificates.serverKey());
    ASSERT_TRUE(nginx.problem().isEmpty()) << nginx.problem().toStdString();

    // The control through the balancer, over https.
    const QString commit = u"set ServerName %1\nclick lstEmployees 1\npress cmdAdd\npress cmdCommit\ndump\n"_qs;
    const HostRun before = runHost(commit.arg(nginx.url()), certificates.caFile());
    ASSERT_EQ(before.exitCode, 0) << before.errors.toStdString();
    EXPECT_EQ(before.lastDump()[u"notice"_qs].toString(), QString());
    EXPECT_EQ(selectedIds(before.lastDump()), QStringList({u"1"_qs, u"3"_qs}));

    // Operators at work; one instance killed outright in the middle.
    std::atomic<bool> stop{false}, killed{false};
    std::vector<std::thread> threads;
    std::vector<Outcome> outcomes(kOperators);
    for (int i = 0; i < kOperators; ++i)
        threads.emplace_back(
            [&, i] { outcomes[std::size_t(i)] = work(nginx.url(), certificates.caFile(), i, stop, killed); });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    first.kill();
    killed = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    stop = true;
    for (auto& thread : threads) thread.join();

    int loads = 0, loadFailures = 0, saves = 0, saveFailures = 0, afterKill = 0;
    for (const Outcome& outcome : outcomes) {
        loads += outcome.loads;
        loadFailures += outcome.loadFailures;
        saves += outcome.saves;
        saveFailures += outcome.saveFailures;
        afterKill += outcome.afterKill;
        for (const auto& [employee, status] : outcome.batches) {
            const qint64 kept = db.count(QStringLiteral("SELECT COUNT(*) FROM CenterEmployeeCrossReference WHERE "
                                                        "CenterID = %1 AND EmployeeID IN (%2, %3)")
                                             .arg(kCentre)
                                             .arg(employee)
                                             .arg(employee + 1));
            EXPECT_TRUE(kept == 0 || kept == 2) << "batch of " << employee << " applied in part";
            if (status == 200) {
                EXPECT_EQ(kept, 2) << "batch of " << employee << " answered 200 but not kept";
            }
        }
    }
    std::cerr << "through nginx: " << loads << " loads (" << loadFailures << " failed), " << saves << " saves ("
              << saveFailures << " failed), " << afterKill << " load-and-save rounds after the kill\n";
    EXPECT_GT(loads, 2 * kOperators);
    EXPECT_LE(loadFailures + saveFailures, kOperators) << "more failed than the killed instance had in flight";
    EXPECT_GT(afterKill, kOperators) << "the operators did not carry on";
    EXPECT_TRUE(first.standardError().contains("path=/CenterEmployee.asp status=200"));
    EXPECT_TRUE(second.standardError().contains("path=/CenterEmployee.asp status=200"));

    // The control still commits through the balancer, with one instance left.
    const HostRun after = runHost(commit.arg(nginx.url()), certificates.caFile());
    ASSERT_EQ(after.exitCode, 0) << after.errors.toStdString();
    EXPECT_EQ(after.lastDump()[u"notice"_qs].toString(), QString());
    EXPECT_EQ(selectedIds(after.lastDump()), QStringList({u"1"_qs, u"2"_qs, u"3"_qs}));
    EXPECT_EQ(second.stop(), 0);
}

}  // namespace
