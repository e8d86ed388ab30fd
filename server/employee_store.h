#pragma once

#include "server/database_address.h"
#include "server/feed.h"
#include "server/sql_batch.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

#include <optional>
#include <variant>
#include <vector>

namespace centeremp::server {

struct StoreFailure
{
    QString message;
};

struct ApplyResult
{
    qint64 assigned = 0; // pairs that were not there before
    qint64 removed = 0;  // pairs that were there before
};

// An INSERT named an employee that cannot be assigned; the batch was not applied.
struct UnassignableEmployee
{
    int fieldNumber = 0;
    qint32 employeeId = 0;
    bool exists = false; // true: the employee exists but is inactive
};

struct SeedEmployee
{
    qint32 id = 0;
    QString name;
    bool active = true;
};

struct SeedAssignment
{
    qint32 centerId = 0;
    qint32 employeeId = 0;
};

// The employees and centre assignments, over one Qt Sql connection. Qt Sql connections belong
// to the thread that opened them, so one store is used by one thread only.
class EmployeeStore
{
public:
    EmployeeStore(DatabaseAddress address, QString connectionName);
    ~EmployeeStore();
    EmployeeStore(const EmployeeStore &) = delete;
    EmployeeStore &operator=(const EmployeeStore &) = delete;

    // Connects, and creates the tables when they are missing.
    std::optional<StoreFailure> open();
    bool isOpen() const;
    void close();

    // Both lists come from one consistent snapshot of the database.
    std::variant<CenterFeed, StoreFailure> centerFeed(qint32 centerId);

    // Applies every statement in order within one transaction, or nothing. Assigning a pair
    // that exists and removing one that does not change nothing, so a retried batch is harmless.
    std::variant<ApplyResult, UnassignableEmployee, StoreFailure> apply(const Batch &batch, const QDateTime &now);

    // True when neither table has a row.
    std::variant<bool, StoreFailure> isEmpty();
    std::optional<StoreFailure> insertSeed(const std::vector<SeedEmployee> &employees,
                                           const std::vector<SeedAssignment> &assignments, const QDateTime &now);

private:
    bool isPostgres() const { return m_address.kind == DatabaseAddress::Kind::Postgres; }
    QVariant timestampValue(const QDateTime &now) const;
    std::optional<StoreFailure> createSchema();

    DatabaseAddress m_address;
    QString m_connectionName;
    QSqlDatabase m_db;
};

} // namespace centeremp::server
