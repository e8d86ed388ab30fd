#pragma once

// The server's database seen directly, independent of the server's own code.

#include "server/database_address.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

#include <utility>
#include <vector>

namespace centeremp::servertest {

struct TestEmployee {
    qint32 id;
    QString name;
    bool active;
};

// One connection of its own, named apart from every other in the process.
class TestDatabase {
public:
    explicit TestDatabase(const server::DatabaseAddress& address);
    ~TestDatabase();
    bool isOpen() const { return db_.isOpen(); }
    bool isPostgres() const { return postgres_; }
    QSqlDatabase& connection() { return db_; }

    void exec(const QString& sql);
    qint64 count(const QString& sql);
    void addEmployees(const std::vector<TestEmployee>& employees);
    void addCentre(qint32 centerId);  // named "Centre N"; nothing when it is there
    // Adds the centre too.
    void assign(qint32 centerId, const std::vector<qint32>& employeeIds, const QDateTime& when);
    // Every row of both tables, in key order, as text; equal dumps mean equal tables.
    QString dump();
    std::vector<std::pair<qint32, qint32>> assignments();  // (CenterID, EmployeeID) in key order

private:
    QString name_;
    bool postgres_ = false;
    QSqlDatabase db_;
};

}  // namespace centeremp::servertest
