#pragma once

#include "server/database_address.h"
#include "server/employee_store.h"
#include "server/feed_cache.h"
#include "server/http_server.h"
#include "server/sign_in_gate.h"

#include <QDateTime>

#include <functional>
#include <memory>

namespace centeremp::server {

// Answers /CenterEmployee.asp: GET with centerID lists the centre's employees, POST applies a
// batch of SQL=... statements; both only for an operator the gate lets in, and only for the
// centres that operator may use. Each worker thread of the HTTP server has its own service, with
// its own database connection (named after the worker), opened when the thread starts or else
// on the first request, and used, reopened and closed on that thread only.
class CenterEmployeeService {
public:
    using Clock = std::function<QDateTime()>;

    // feeds: the rendered feeds every worker shares, or none to render each feed anew.
    CenterEmployeeService(DatabaseAddress database, QString connectionName, std::shared_ptr<SignInGate> gate,
                          Clock clock = &QDateTime::currentDateTimeUtc, std::shared_ptr<FeedCache> feeds = {});
    ~CenterEmployeeService();

    HttpResponse handle(const HttpRequest& request);
    // Opens the connection before any request needs it; when that fails, the first request
    // tries again and reports it.
    void connect();

private:
    HttpResponse feed(const HttpRequest& request, const SignedIn& who, EmployeeStore& employees);
    HttpResponse applyBatch(const HttpRequest& request, const SignedIn& who, EmployeeStore& employees);
    HttpResponse answerFor(const std::variant<ApplyResult, UnassignableEmployee, UnknownCentre, StoreFailure>& result);
    EmployeeStore* store(HttpResponse* failure);
    HttpResponse databaseFailure(const StoreFailure& failure, bool saving = false);

    DatabaseAddress database_;
    QString connectionName_;
    std::shared_ptr<SignInGate> gate_;
    Clock clock_;
    std::unique_ptr<EmployeeStore> store_;
    std::shared_ptr<FeedCache> feeds_;
    std::optional<qint64> seenChanges_;  // this connection's change count when last read
};

}  // namespace centeremp::server
