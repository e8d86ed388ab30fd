// EmployeeStore: the centres, the operators who may sign in, and the assignment log.

#include "server/employee_store.h"
#include "server/store_queries.h"

namespace centeremp::server {

// Centres are added, never removed, so one found stays found for as long as the connection:
// a page or a batch of a known centre costs no lookup.
std::variant<bool, StoreFailure> EmployeeStore::centreExists(qint32 centerId) {
    if (knownCentres_.contains(centerId)) return true;
    QSqlError error;
    QSqlQuery* query = prepared(Prepared::CentreExists, QStringLiteral("SELECT 1 FROM centers WHERE ID = ?"), &error);
    if (!query) return failure(QStringLiteral("cannot prepare the centre lookup"), error);
    query->bindValue(0, centerId);
    bool found = false;
    if (auto problem = readRows(*query, QStringLiteral("cannot look up centre %1").arg(centerId),
                                [&found](QSqlQuery&) { found = true; }))
        return *problem;
    if (found) knownCentres_.insert(centerId);
    return found;
}

std::variant<bool, StoreFailure> EmployeeStore::hasOperators() {
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM operators)")) || !query.next())
        return failure(QStringLiteral("cannot look for operators"), query.lastError());
    return query.value(0).toBool();
}

std::variant<std::optional<OperatorAccount>, StoreFailure> EmployeeStore::operatorAccount(const QString& name) {
    QSqlError error;
    QSqlQuery* query = prepared(Prepared::Account,
                                QStringLiteral("SELECT o.passwordHash, o.allCentres, c.centerID FROM operators o "
                                               "LEFT JOIN operatorCentres c ON c.operatorName = o.name "
                                               "WHERE o.name = ? ORDER BY c.centerID"),
                                &error);
    if (!query) return failure(QStringLiteral("cannot prepare the operator lookup"), error);
    query->bindValue(0, name);
    std::optional<OperatorAccount> account;
    auto problem = readRows(*query, QStringLiteral("cannot look up an operator"), [&](QSqlQuery& row) {
        if (!account) account = OperatorAccount{name, row.value(0).toString().toLatin1(), row.value(1).toBool(), {}};
        if (!row.isNull(2)) account->centres.push_back(row.value(2).toInt());
    });
    if (problem) return *problem;
    return account;
}

std::variant<std::vector<OperatorAccount>, StoreFailure> EmployeeStore::operators() {
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT o.name, o.allCentres, c.centerID FROM operators o LEFT JOIN "
                                   "operatorCentres c ON c.operatorName = o.name ORDER BY o.name, c.centerID")))
        return failure(QStringLiteral("cannot list the operators"), query.lastError());
    std::vector<OperatorAccount> accounts;
    while (query.next()) {
        const QString name = query.value(0).toString();
        if (accounts.empty() || accounts.back().name != name)
            accounts.push_back(OperatorAccount{name, {}, query.value(1).toBool(), {}});
        if (!query.isNull(2)) accounts.back().centres.push_back(query.value(2).toInt());
    }
    return accounts;
}

std::optional<StoreFailure> EmployeeStore::addOperator(const OperatorAccount& account) {
    Transaction transaction(db_, Transaction::Mode::Write);
    if (auto problem = transaction.startFailure()) return problem;
    QSqlQuery query(db_);
    query.prepare(QStringLiteral("INSERT INTO operators (name, passwordHash, allCentres) VALUES (?, ?, ?)"));
    query.bindValue(0, account.name);
    query.bindValue(1, QString::fromLatin1(account.passwordHash));
    query.bindValue(2, isPostgres() ? QVariant(account.allCentres) : QVariant(int(account.allCentres)));
    if (!query.exec()) return failure(QStringLiteral("cannot add the operator"), query.lastError());
    query.prepare(QStringLiteral("INSERT INTO operatorCentres (operatorName, centerID) VALUES (?, ?)"));
    for (qint32 centre : account.centres) {
        query.bindValue(0, account.name);
        query.bindValue(1, centre);
        if (!query.exec())
            return failure(QStringLiteral("cannot give the operator centre %1").arg(centre), query.lastError());
    }
    if (!transaction.commit()) return failure(QStringLiteral("cannot commit the operator"), db_.lastError());
    return std::nullopt;
}

std::variant<bool, StoreFailure> EmployeeStore::removeOperator(const QString& name) {
    Transaction transaction(db_, Transaction::Mode::Write);
    if (auto problem = transaction.startFailure()) return *problem;
    QSqlQuery query(db_);
    for (const QString& statement : {QStringLiteral("DELETE FROM operatorCentres WHERE operatorName = ?"),
                                     QStringLiteral("DELETE FROM operators WHERE name = ?")}) {
        query.prepare(statement);
        query.bindValue(0, name);
        if (!query.exec()) return failure(QStringLiteral("cannot remove the operator"), query.lastError());
    }
    const bool removed = query.numRowsAffected() > 0;
    if (!transaction.commit()) return failure(QStringLiteral("cannot commit the removal"), db_.lastError());
    return removed;
}

std::variant<std::vector<Centre>, StoreFailure> EmployeeStore::centres() {
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT ID, name FROM centers ORDER BY ID")))
        return failure(QStringLiteral("cannot list the centres"), query.lastError());
    std::vector<Centre> listed;
    while (query.next()) listed.push_back(Centre{query.value(0).toInt(), query.value(1).toString()});
    return listed;
}

std::optional<StoreFailure> EmployeeStore::addCentre(const Centre& centre) {
    QSqlQuery query(db_);
    query.prepare(QStringLiteral("INSERT INTO centers (ID, name) VALUES (?, ?)"));
    query.bindValue(0, centre.id);
    query.bindValue(1, centre.name);
    if (!query.exec()) return failure(QStringLiteral("cannot add centre %1").arg(centre.id), query.lastError());
    return std::nullopt;
}

std::variant<std::vector<AuditEntry>, StoreFailure> EmployeeStore::auditLog(std::optional<qint32> centerId) {
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT loggedAt, operatorName, remoteAddress, centerID, employeeID, change, outcome "
                                 "FROM assignment_log%1 ORDER BY seq")
                      .arg(centerId ? QStringLiteral(" WHERE centerID = ?") : QString()));
    if (centerId) query.bindValue(0, *centerId);
    if (!query.exec()) return failure(QStringLiteral("cannot read the assignment log"), query.lastError());
    std::vector<AuditEntry> entries;
    while (query.next()) {
        entries.push_back(AuditEntry{timestampFrom(query.value(0)), query.value(1).toString(),
                                     query.value(2).toString(), query.value(3).toInt(), query.value(4).toInt(),
                                     query.value(5).toString() == u"add", query.value(6).toString() == u"applied"});
    }
    return entries;
}

}  // namespace centeremp::server
