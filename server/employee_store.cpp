// EmployeeStore: the connection it owns, its prepared statements, and sample data. Connecting
// and the tables, a centre's page, and batches each have a file of their own.

#include "server/employee_store.h"
#include "server/store_queries.h"

namespace centeremp::server {

EmployeeStore::EmployeeStore(DatabaseAddress address, QString connectionName)
    : address_(std::move(address)), connectionName_(std::move(connectionName)) {}

EmployeeStore::~EmployeeStore() {
    close();
    if (QSqlDatabase::contains(connectionName_)) {
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName_);
    }
}

bool EmployeeStore::isOpen() const { return db_.isOpen(); }

void EmployeeStore::close() {
    prepared_.clear();      // they belong to the connection
    employeeList_.reset();  // another connection may reach another database
    knownCentres_.clear();
    if (db_.isValid()) db_.close();
}

QSqlQuery* EmployeeStore::prepared(Prepared which, const QString& text, QSqlError* error) {
    auto& query = prepared_[which];
    if (!query) {
        auto fresh = std::make_unique<QSqlQuery>(db_);
        // Not forward-only, the SQLite driver would keep a copy of every row it has read.
        fresh->setForwardOnly(true);
        if (!fresh->prepare(text)) {
            *error = fresh->lastError();
            prepared_.erase(which);
            return nullptr;
        }
        query = std::move(fresh);
    }
    return query.get();
}

QVariant EmployeeStore::timestampValue(const QDateTime& now) const {
    const QDateTime utc = now.toUTC();
    if (isPostgres()) return utc;
    // SQLite has no time type: ISO 8601 text in UTC sorts and compares correctly.
    return utc.toString(Qt::ISODateWithMs);
}

QDateTime EmployeeStore::timestampFrom(const QVariant& stored) const {
    if (isPostgres()) return stored.toDateTime().toUTC();
    QDateTime at = QDateTime::fromString(stored.toString(), Qt::ISODateWithMs);
    return at.toUTC();
}

std::variant<bool, StoreFailure> EmployeeStore::isEmpty() {
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM employees) + "
                                   "(SELECT COUNT(*) FROM CenterEmployeeCrossReference)")) ||
        !query.next())
        return failure(QStringLiteral("cannot count rows"), query.lastError());
    return query.value(0).toLongLong() == 0;
}

std::optional<StoreFailure> EmployeeStore::insertSeed(const std::vector<Centre>& centres,
                                                      const std::vector<SeedEmployee>& employees,
                                                      const std::vector<SeedAssignment>& assignments,
                                                      const QDateTime& now) {
    Transaction transaction(db_, Transaction::Mode::Write);
    if (auto problem = transaction.startFailure()) return problem;
    for (const Centre& centre : centres) {
        if (auto problem = addCentre(centre)) return problem;
    }
    if (auto problem = insertSeedEmployees(employees)) return problem;
    if (auto problem = insertSeedAssignments(assignments, now)) return problem;
    if (!transaction.commit()) return failure(QStringLiteral("cannot commit the sample data"), db_.lastError());
    return std::nullopt;
}

std::optional<StoreFailure> EmployeeStore::insertSeedEmployees(const std::vector<SeedEmployee>& employees) {
    QSqlQuery addEmployee(db_);
    if (!addEmployee.prepare(QStringLiteral("INSERT INTO employees (ID, name, active) VALUES (?, ?, ?)")))
        return failure(QStringLiteral("cannot prepare the employee insert"), addEmployee.lastError());
    for (const SeedEmployee& employee : employees) {
        addEmployee.bindValue(0, employee.id);
        addEmployee.bindValue(1, employee.name);
        addEmployee.bindValue(2, employee.active);
        if (!addEmployee.exec())
            return failure(QStringLiteral("cannot add employee %1").arg(employee.id), addEmployee.lastError());
    }
    return std::nullopt;
}

std::optional<StoreFailure> EmployeeStore::insertSeedAssignments(const std::vector<SeedAssignment>& assignments,
                                                                 const QDateTime& now) {
    QSqlQuery assign(db_);
    if (!assign.prepare(QStringLiteral("INSERT INTO CenterEmployeeCrossReference (CenterID, EmployeeID, "
                                       "RecordLastUpdated) VALUES (?, ?, ?)")))
        return failure(QStringLiteral("cannot prepare the assignment insert"), assign.lastError());
    const QVariant timestamp = timestampValue(now);
    for (const SeedAssignment& assignment : assignments) {
        assign.bindValue(0, assignment.centerId);
        assign.bindValue(1, assignment.employeeId);
        assign.bindValue(2, timestamp);
        if (!assign.exec())
            return failure(QStringLiteral("cannot assign employee %1 to centre %2")
                               .arg(assignment.employeeId)
                               .arg(assignment.centerId),
                           assign.lastError());
    }
    return std::nullopt;
}

}  // namespace centeremp::server
