#pragma once

#include "server/database_address.h"
#include "server/employee_store.h"
#include "server/feed_cache.h"
#include "server/http_server.h"
#include "server/server_metrics.h"
#include "server/sign_in_gate.h"

#include <QDateTime>

#include <functional>
#include <memory>

namespace centeremp::server {

// What a monitor may read: the counters, and whether a client on this machine reads them
// without signing in (not when a proxy on this machine forwards everyone's requests).
struct Monitoring {
    std::shared_ptr<ServerMetrics> metrics;
    bool loopbackReads = true;
};

// Answers /CenterEmployee.asp: GET with centerID lists the centre's employees, POST applies a
// batch of SQL=... statements; both only for an operator the gate lets in, and only for the
// centres that operator may use. For load balancers and monitors: /healthz (the process
// serves), /readyz (the database answers, in time) and /metrics (Prometheus text, to this
// machine or to an operator of all centres). Each worker thread of the HTTP server has its own service, with
// its own database connection (named after the worker), opened when the thread starts or else
// on the first request, and used, reopened and closed on that thread only.
class CenterEmployeeService {
public:
    using Clock = std::function<QDateTime()>;

    // feeds: the rendered feeds every worker shares, or none to render each feed anew.
    CenterEmployeeService(DatabaseAddress database, QString connectionName, std::shared_ptr<SignInGate> gate,
                          Clock clock = &QDateTime::currentDateTimeUtc, std::shared_ptr<FeedCache> feeds = {},
                          Monitoring monitoring = {});
    ~CenterEmployeeService();

    HttpResponse handle(const HttpRequest& request);
    // Opens the connection before any request needs it; when that fails, the first request
    // tries again and reports it.
    void connect();

private:
    HttpResponse monitor(const HttpRequest& request);
    HttpResponse readiness();
    HttpResponse metrics(const HttpRequest& request);
    HttpResponse feed(const HttpRequest& request, const SignedIn& who, EmployeeStore& employees);
    HttpResponse applyBatch(const HttpRequest& request, const SignedIn& who, EmployeeStore& employees);
    HttpResponse answerFor(const std::variant<ApplyResult, UnassignableEmployee, UnknownCentre, StoreFailure>& result);
    EmployeeStore* store(HttpResponse* failure);
    // Who sent the request, and the store to answer it from; or the answer to give instead: a
    // refusal, or why the database could not tell.
    struct Admitted {
        SignedIn who;
        EmployeeStore* employees;
    };
    std::variant<Admitted, HttpResponse> admit(const HttpRequest& request);
    HttpResponse databaseFailure(const StoreFailure& failure, bool saving = false);

    DatabaseAddress database_;
    QString connectionName_;
    std::shared_ptr<SignInGate> gate_;
    Clock clock_;
    std::unique_ptr<EmployeeStore> store_;
    std::shared_ptr<FeedCache> feeds_;
    Monitoring monitoring_;
    std::optional<qint64> seenChanges_;  // this connection's change count when last read
};

}  // namespace centeremp::server
