// EmployeeStore: one centre's page, both lists from one consistent state of the database.

#include "server/employee_store.h"
#include "server/store_queries.h"

namespace centeremp::server {

std::variant<CenterFeed, StoreFailure> EmployeeStore::centerFeed(qint32 centerId) {
    return isPostgres() ? joinedFeed(centerId) : mergedFeed(centerId);
}

// PostgreSQL: one statement, so both lists come from one snapshot without a transaction around
// them; the planner joins the two ordered sets in one pass.
std::variant<CenterFeed, StoreFailure> EmployeeStore::joinedFeed(qint32 centerId) {
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
    return feed;
}

// SQLite probes the assignment key once per employee for a join, a third slower at 32767
// employees than two ordered scans merged here. Both scans run in one read transaction, so they
// see the same state; in WAL mode that transaction never waits for a writer.
std::variant<CenterFeed, StoreFailure> EmployeeStore::mergedFeed(qint32 centerId) {
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

    CenterFeed feed;
    auto next = assigned.cbegin();
    problem = readRows(*employeeQuery, QStringLiteral("cannot read the employees"), [&](QSqlQuery& row) {
        Employee employee{row.value(0).toInt(), row.value(1).toString()};
        while (next != assigned.cend() && *next < employee.id) ++next;
        const bool selected = next != assigned.cend() && *next == employee.id;
        (selected ? feed.selected : feed.nonSelected).push_back(std::move(employee));
    });
    if (problem) return *problem;
    transaction.commit();
    return feed;
}

}  // namespace centeremp::server
