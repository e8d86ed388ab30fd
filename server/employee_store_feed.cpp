// EmployeeStore: one centre's page, both lists from one consistent state of the database.

#include "server/employee_store.h"
#include "server/store_queries.h"

namespace centeremp::server {

namespace {

// How often a feed reads the employee list again because it changed meanwhile, before it
// reads everything in one statement instead.
constexpr int listReads = 2;

// The version table as the one row it is: unanalysed, the planner takes it for thousands of
// rows and plans each join with it as if it were that many times larger.
#define oneVersionRow "(SELECT changedBy FROM EmployeeListVersion LIMIT 1) AS v"

}  // namespace

std::variant<QByteArray, StoreFailure> EmployeeStore::centerFeed(qint32 centerId) {
    return isPostgres() ? listedFeed(centerId) : mergedFeed(centerId);
}

std::variant<std::optional<qint64>, StoreFailure> EmployeeStore::changeCount() {
    if (isPostgres()) return std::nullopt;
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("PRAGMA data_version")) || !query.next())
        return failure(QStringLiteral("cannot read the data version"), query.lastError());
    return query.value(0).toLongLong();
}

// PostgreSQL: every feed lists all active employees, and they seldom change, so the connection
// keeps them (employeeList_). A feed asks only which transaction last changed them and which
// employees the centre has, in one statement and so from one snapshot; when that transaction
// is the one the kept list was read at, the list is exactly what that snapshot holds.
std::variant<QByteArray, StoreFailure> EmployeeStore::listedFeed(qint32 centerId) {
    for (int attempt = 0; attempt <= listReads; ++attempt) {
        QSqlError error;
        QSqlQuery* query = prepared(Prepared::ListVersion,
                                    QStringLiteral("SELECT v.changedBy, x.EmployeeID FROM " oneVersionRow
                                                   " LEFT JOIN CenterEmployeeCrossReference x ON x.CenterID = ? "
                                                   "ORDER BY x.EmployeeID"),
                                    &error);
        if (!query) return failure(QStringLiteral("cannot prepare the centre query"), error);
        query->bindValue(0, centerId);
        std::optional<qint64> changedBy;
        std::vector<qint32> assigned;
        auto problem = readRows(*query, QStringLiteral("cannot read centre %1").arg(centerId), [&](QSqlQuery& row) {
            changedBy = row.value(0).toLongLong();
            if (!row.isNull(1)) assigned.push_back(row.value(1).toInt());
        });
        if (problem) return *problem;
        if (!changedBy) break;  // someone emptied the version table: read everything at once
        if (feeds_) {
            if (auto kept = feeds_->findRendered(centerId, *changedBy, assigned)) return std::move(*kept);
        }
        if (employeeList_ && employeeList_->changedBy == *changedBy) {
            QByteArray feed = employeeList_->active.centerFeed(assigned);
            if (feeds_) feeds_->keepRendered(centerId, *changedBy, std::move(assigned), feed);
            return feed;
        }
        if (attempt < listReads) {
            if (auto listProblem = readEmployeeList()) return *listProblem;
        }
    }
    return joinedFeed(centerId);
}

std::optional<StoreFailure> EmployeeStore::readEmployeeList() {
    employeeList_.reset();
    QSqlError error;
    QSqlQuery* query = prepared(Prepared::EmployeeList,
                                QStringLiteral("SELECT v.changedBy, e.ID, e.name FROM " oneVersionRow
                                               " LEFT JOIN employees e ON e.active ORDER BY e.ID"),
                                &error);
    if (!query) return failure(QStringLiteral("cannot prepare the employee query"), error);
    std::optional<qint64> changedBy;
    std::vector<Employee> active;
    auto problem = readRows(*query, QStringLiteral("cannot read the employees"), [&](QSqlQuery& row) {
        changedBy = row.value(0).toLongLong();
        if (!row.isNull(1)) active.push_back({row.value(1).toInt(), row.value(2).toString()});
    });
    if (problem) return *problem;
    if (changedBy) employeeList_.emplace(EmployeeList{*changedBy, RenderedEmployees(active)});
    return std::nullopt;
}

// PostgreSQL, when the employee list will not hold still: one statement, so both lists come
// from one snapshot without a transaction around them.
std::variant<QByteArray, StoreFailure> EmployeeStore::joinedFeed(qint32 centerId) {
    QSqlError error;
    QSqlQuery* query = prepared(Prepared::Feed,
                                QStringLiteral("SELECT e.ID, e.name, x.EmployeeID FROM employees e "
                                               "LEFT JOIN CenterEmployeeCrossReference x "
                                               "ON x.CenterID = ? AND x.EmployeeID = e.ID "
                                               "WHERE e.active ORDER BY e.ID"),
                                &error);
    if (!query) return failure(QStringLiteral("cannot prepare the centre query"), error);
    query->bindValue(0, centerId);
    CenterFeed feed;
    auto problem = readRows(*query, QStringLiteral("cannot read centre %1").arg(centerId), [&feed](QSqlQuery& row) {
        Employee employee{row.value(0).toInt(), row.value(1).toString()};
        (row.isNull(2) ? feed.nonSelected : feed.selected).push_back(std::move(employee));
    });
    if (problem) return *problem;
    return buildCenterFeed(feed);
}

// SQLite probes the assignment key once per employee for a join, a third slower at 32767
// employees than two ordered scans merged here. Both scans run in one read transaction, so they
// see the same state; in WAL mode that transaction never waits for a writer.
std::variant<QByteArray, StoreFailure> EmployeeStore::mergedFeed(qint32 centerId) {
    Transaction transaction(db_);
    if (auto problem = transaction.startFailure()) return *problem;
    QSqlError error;
    QSqlQuery* assignedQuery = prepared(
        Prepared::FeedAssigned,
        QStringLiteral("SELECT EmployeeID FROM CenterEmployeeCrossReference WHERE CenterID = ? ORDER BY EmployeeID"),
        &error);
    QSqlQuery* employeeQuery =
        assignedQuery ? prepared(Prepared::FeedEmployees,
                                 QStringLiteral("SELECT ID, name FROM employees WHERE active ORDER BY ID"), &error)
                      : nullptr;
    if (!employeeQuery) return failure(QStringLiteral("cannot prepare the centre query"), error);

    std::vector<qint32> assigned;
    assignedQuery->bindValue(0, centerId);
    auto problem = readRows(*assignedQuery, QStringLiteral("cannot read centre %1").arg(centerId),
                            [&assigned](QSqlQuery& row) { assigned.push_back(row.value(0).toInt()); });
    if (problem) return *problem;

    std::vector<Employee> active;
    problem = readRows(*employeeQuery, QStringLiteral("cannot read the employees"), [&active](QSqlQuery& row) {
        active.push_back({row.value(0).toInt(), row.value(1).toString()});
    });
    if (problem) return *problem;
    transaction.commit();
    return RenderedEmployees(active).centerFeed(assigned);
}

}  // namespace centeremp::server
