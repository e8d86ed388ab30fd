#pragma once

// What the parts of EmployeeStore share: how a failed statement is reported, a transaction
// that rolls back unless committed, and running a query row by row.

#include "server/employee_store.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <optional>

namespace centeremp::server {

// The failure of one step, told by what was being done and what the database said.
StoreFailure failure(const QString& what, const QSqlError& error);

// Rolls back unless committed: every early return leaves the database as it was.
class Transaction {
public:
    enum class Mode { Read, Write };
    explicit Transaction(QSqlDatabase& db, Mode mode = Mode::Read);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Right after construction: the reason it did not start, if it did not.
    std::optional<StoreFailure> startFailure() const;
    bool commit();

private:
    QSqlDatabase& db_;
    bool active_ = false;
    QSqlError error_;
};

// Executes a prepared query and hands every row to readRow; what names the step in a failure.
template <typename ReadRow>
std::optional<StoreFailure> readRows(QSqlQuery& query, const QString& what, ReadRow readRow) {
    if (!query.exec()) return failure(what, query.lastError());
    while (query.next()) readRow(query);
    const QSqlError readError = query.lastError();
    query.finish();
    if (readError.isValid()) return failure(what, readError);
    return std::nullopt;
}

}  // namespace centeremp::server
