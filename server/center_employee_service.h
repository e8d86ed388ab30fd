#pragma once

#include "server/database_address.h"
#include "server/employee_store.h"
#include "server/http_server.h"

#include <QDateTime>

#include <functional>
#include <memory>

namespace centeremp::server {

// Answers /CenterEmployee.asp: GET with centerID lists the centre's employees, POST applies a
// batch of SQL=... statements. Called only on the HTTP server's polling thread, which is where
// the database connection is opened (on the first request) and used.
class CenterEmployeeService
{
public:
    using Clock = std::function<QDateTime()>;

    explicit CenterEmployeeService(DatabaseAddress database, Clock clock = &QDateTime::currentDateTimeUtc);
    ~CenterEmployeeService();

    HttpResponse handle(const HttpRequest &request);

    // Closes the connection; for shutdown, after the polling thread has stopped.
    void closeDatabase();

private:
    HttpResponse feed(const HttpRequest &request);
    HttpResponse applyBatch(const HttpRequest &request);
    EmployeeStore *store(HttpResponse *failure);
    HttpResponse databaseFailure(const StoreFailure &failure);

    DatabaseAddress m_database;
    Clock m_clock;
    std::unique_ptr<EmployeeStore> m_store;
};

} // namespace centeremp::server
