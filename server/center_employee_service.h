#pragma once

#include "server/database_address.h"
#include "server/employee_store.h"
#include "server/http_server.h"

#include <QDateTime>

#include <functional>
#include <memory>

namespace centeremp::server {

// Answers /CenterEmployee.asp: GET with centerID lists the centre's employees, POST applies a
// batch of SQL=... statements. Each worker thread of the HTTP server has its own service, with
// its own database connection (named after the worker), opened when the thread starts or else
// on the first request, and used, reopened and closed on that thread only.
class CenterEmployeeService {
public:
    using Clock = std::function<QDateTime()>;

    CenterEmployeeService(DatabaseAddress database, QString connectionName,
                          Clock clock = &QDateTime::currentDateTimeUtc);
    ~CenterEmployeeService();

    HttpResponse handle(const HttpRequest& request);
    // Opens the connection before any request needs it; when that fails, the first request
    // tries again and reports it.
    void connect();

private:
    HttpResponse feed(const HttpRequest& request);
    HttpResponse applyBatch(const HttpRequest& request);
    EmployeeStore* store(HttpResponse* failure);
    HttpResponse databaseFailure(const StoreFailure& failure, bool saving = false);

    DatabaseAddress database_;
    QString connectionName_;
    Clock clock_;
    std::unique_ptr<EmployeeStore> store_;
};

}  // namespace centeremp::server
