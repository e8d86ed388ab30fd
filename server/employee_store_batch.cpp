// EmployeeStore: applying a batch of assignments and removals in one transaction.

#include "server/employee_store.h"
#include "server/store_queries.h"

#include <algorithm>
#include <unordered_set>

namespace centeremp::server {

namespace {

// Room to reserve for the text of one ID, and of one [centre,employee] pair, in a bound array.
constexpr qsizetype idTextReserve = 8;
constexpr qsizetype pairTextReserve = 16;

quint64 pairKey(qint32 centerId, qint32 employeeId) {
    constexpr int employeeBits = 32;
    return (quint64(quint32(centerId)) << employeeBits) | quint32(employeeId);
}

// The batch in the pieces that go out as one statement each. Consecutive INSERTs commute, so a
// run of them is one piece; a DELETE between them is a piece of its own and keeps its place.
std::vector<std::span<const BatchStatement>> chunksOf(const Batch& batch) {
    std::vector<std::span<const BatchStatement>> chunks;
    const std::span<const BatchStatement> all(batch.statements);
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = start + 1;
        if (std::holds_alternative<InsertStatement>(all[start].statement)) {
            while (end < all.size() && std::holds_alternative<InsertStatement>(all[end].statement)) ++end;
        }
        chunks.push_back(all.subspan(start, end - start));
        start = end;
    }
    return chunks;
}

}  // namespace

// Counts what each statement did. A statement that changed nothing is reported back only when
// no earlier statement of the same batch touched its pair: then only someone else's change
// explains it, and the operator should hear of it.
class BatchOutcome {
public:
    void assigned(qint32 centerId, qint32 employeeId, bool changed) {
        note(centerId, employeeId, changed, true);
        if (changed) ++result_.assigned;
    }
    void removed(qint32 centerId, qint32 employeeId, bool changed) {
        note(centerId, employeeId, changed, false);
        if (changed) ++result_.removed;
    }
    ApplyResult take() { return std::move(result_); }

    // What goes to the assignment log: one entry per employee of each statement, in batch
    // order, as four columns of numbers (added and applied are 1 or 0).
    struct Log {
        std::vector<qint32> centres, employees, added, applied;
    };
    const Log& log() const { return log_; }

private:
    void note(qint32 centerId, qint32 employeeId, bool changed, bool added) {
        const bool first = touched_.insert(pairKey(centerId, employeeId)).second;
        if (!changed && first) (added ? result_.alreadyAssigned : result_.notAssigned).push_back(employeeId);
        log_.centres.push_back(centerId);
        log_.employees.push_back(employeeId);
        log_.added.push_back(added ? 1 : 0);
        log_.applied.push_back(changed ? 1 : 0);
    }

    ApplyResult result_;
    std::unordered_set<quint64> touched_;
    Log log_;
};

// The IDs as one bound text: a PostgreSQL array literal or a JSON array for SQLite. Every
// element is a number we formatted ourselves, so the text can hold nothing else.
QString EmployeeStore::idArray(const std::vector<qint32>& ids) const {
    QString text;
    text.reserve(qsizetype(ids.size()) * idTextReserve + 2);
    text += isPostgres() ? u'{' : u'[';
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i > 0) text += u',';
        text += QString::number(ids[i]);
    }
    text += isPostgres() ? u'}' : u']';
    return text;
}

std::variant<std::unordered_map<qint32, bool>, StoreFailure> EmployeeStore::activeByIds(std::vector<qint32> ids) {
    std::unordered_map<qint32, bool> activeById;
    if (ids.empty()) return activeById;
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    QSqlError error;
    QSqlQuery* query = prepared(
        Prepared::Lookup,
        isPostgres() ? QStringLiteral("SELECT ID, active FROM employees WHERE ID = ANY (CAST(? AS INTEGER[]))")
                     : QStringLiteral("SELECT ID, active FROM employees WHERE ID IN (SELECT value FROM json_each(?))"),
        &error);
    if (!query) return failure(QStringLiteral("cannot prepare the employee lookup"), error);
    query->bindValue(0, idArray(ids));
    auto problem = readRows(*query, QStringLiteral("cannot look up employees"), [&activeById](QSqlQuery& row) {
        activeById[row.value(0).toInt()] = row.value(1).toBool();
    });
    if (problem) return *problem;
    return activeById;
}

// Every employee an INSERT names must exist and be active; looked up inside the batch's
// transaction, before anything is written. The first offending field in batch order is named.
std::optional<std::variant<UnassignableEmployee, StoreFailure>> EmployeeStore::checkAssignable(const Batch& batch) {
    std::vector<qint32> wanted;
    for (const BatchStatement& entry : batch.statements) {
        if (const auto* insert = std::get_if<InsertStatement>(&entry.statement)) wanted.push_back(insert->employeeId);
    }
    auto looked = activeByIds(std::move(wanted));
    if (auto* problem = std::get_if<StoreFailure>(&looked)) return *problem;
    const auto& activeById = std::get<std::unordered_map<qint32, bool>>(looked);
    for (const BatchStatement& entry : batch.statements) {
        if (const auto* insert = std::get_if<InsertStatement>(&entry.statement)) {
            const auto found = activeById.find(insert->employeeId);
            if (found == activeById.end() || !found->second)
                return UnassignableEmployee{entry.fieldNumber, insert->employeeId, found != activeById.end()};
        }
    }
    return std::nullopt;
}

// Every centre the batch names must be in the centres table.
std::optional<std::variant<UnknownCentre, StoreFailure>> EmployeeStore::checkCentres(const Batch& batch) {
    std::vector<qint32> named;
    for (const BatchStatement& entry : batch.statements) {
        const qint32 centre = centerIdOf(entry.statement);
        if (std::find(named.begin(), named.end(), centre) == named.end()) named.push_back(centre);
    }
    for (qint32 centre : named) {
        auto exists = centreExists(centre);
        if (auto* problem = std::get_if<StoreFailure>(&exists)) return *problem;
        if (!std::get<bool>(exists)) return UnknownCentre{centre};
    }
    return std::nullopt;
}

// The whole batch's entries of the assignment log in one statement, in the batch's order.
std::optional<StoreFailure> EmployeeStore::writeLog(const BatchOutcome& outcome, const QVariant& timestamp,
                                                    const Actor& actor) {
    const BatchOutcome::Log& log = outcome.log();
    if (log.centres.empty()) return std::nullopt;
    const QString columns = QStringLiteral(
        "INSERT INTO assignment_log (loggedAt, operatorName, remoteAddress, centerID, employeeID, change, outcome) ");
    const QString change = QStringLiteral(
        "CASE WHEN %1 = 1 THEN 'add' ELSE 'remove' END, "
        "CASE WHEN %2 = 1 THEN 'applied' ELSE 'no-op' END");
    QSqlError error;
    QSqlQuery* query = nullptr;
    if (isPostgres()) {
        query = prepared(
            Prepared::Log,
            columns + QStringLiteral("SELECT CAST(? AS TIMESTAMP WITH TIME ZONE), ?, ?, l.c, l.e, %1 FROM "
                                     "unnest(CAST(? AS INTEGER[]), CAST(? AS INTEGER[]), CAST(? AS INTEGER[]), "
                                     "CAST(? AS INTEGER[])) WITH ORDINALITY AS l (c, e, a, p, n) ORDER BY l.n")
                          .arg(change.arg(u"l.a"_qs, u"l.p"_qs)),
            &error);
        if (!query) return failure(QStringLiteral("cannot prepare the assignment log"), error);
        query->bindValue(3, idArray(log.centres));
        query->bindValue(4, idArray(log.employees));
        query->bindValue(5, idArray(log.added));
        query->bindValue(6, idArray(log.applied));
    } else {
        // One JSON array of [centre, employee, added, applied] entries, read in order.
        query = prepared(Prepared::Log,
                         columns + QStringLiteral("SELECT ?, ?, ?, value ->> 0, value ->> 1, %1 FROM json_each(?) "
                                                  "ORDER BY key")
                                       .arg(change.arg(u"value ->> 2"_qs, u"value ->> 3"_qs)),
                         &error);
        if (!query) return failure(QStringLiteral("cannot prepare the assignment log"), error);
        QString json;
        json.reserve(qsizetype(log.centres.size()) * (pairTextReserve + 4) + 2);
        json += u'[';
        for (std::size_t i = 0; i < log.centres.size(); ++i) {
            json += u'[' + QString::number(log.centres[i]) + u',' + QString::number(log.employees[i]) + u',' +
                    QString::number(log.added[i]) + u',' + QString::number(log.applied[i]) + QStringLiteral("],");
        }
        json.back() = u']';
        query->bindValue(3, json);
    }
    // A null text would be bound as NULL; nobody signed in is recorded as an empty name.
    const auto text = [](const QString& value) { return value.isNull() ? QStringLiteral("") : value; };
    query->bindValue(0, timestamp);
    query->bindValue(1, text(actor.operatorName));
    query->bindValue(2, text(actor.remoteAddress));
    return readRows(*query, QStringLiteral("cannot write the assignment log"), [](QSqlQuery&) {});
}

// The INSERT of these pairs, prepared and bound: two arrays PostgreSQL unnests side by side, or
// one JSON array of [centre, employee] pairs for SQLite. Null when it cannot be prepared.
QSqlQuery* EmployeeStore::boundInsert(const std::vector<std::pair<qint32, qint32>>& pairs, const QVariant& timestamp,
                                      QSqlError* error) {
    const QString insertInto =
        QStringLiteral("INSERT INTO CenterEmployeeCrossReference (CenterID, EmployeeID, RecordLastUpdated) ");
    const QString onConflict = QStringLiteral(" ON CONFLICT DO NOTHING RETURNING CenterID, EmployeeID");
    if (isPostgres()) {
        QSqlQuery* query =
            prepared(Prepared::Insert,
                     insertInto +
                         QStringLiteral("SELECT pair.c, pair.e, CAST(? AS TIMESTAMP WITH TIME ZONE) FROM "
                                        "unnest(CAST(? AS INTEGER[]), CAST(? AS INTEGER[])) AS pair (c, e)") +
                         onConflict,
                     error);
        if (!query) return nullptr;
        std::vector<qint32> centers, employees;
        for (const auto& [center, employee] : pairs) {
            centers.push_back(center);
            employees.push_back(employee);
        }
        query->bindValue(0, timestamp);
        query->bindValue(1, idArray(centers));
        query->bindValue(2, idArray(employees));
        return query;
    }
    // "WHERE true" keeps SQLite from reading ON CONFLICT as part of the SELECT.
    QSqlQuery* query = prepared(
        Prepared::Insert,
        insertInto + QStringLiteral("SELECT value ->> 0, value ->> 1, ? FROM json_each(?) WHERE true") + onConflict,
        error);
    if (!query) return nullptr;
    QString json;
    json.reserve(qsizetype(pairs.size()) * pairTextReserve + 2);
    json += u'[';
    for (const auto& [center, employee] : pairs)
        json += u'[' + QString::number(center) + u',' + QString::number(employee) + QStringLiteral("],");
    json.back() = u']';
    query->bindValue(0, timestamp);
    query->bindValue(1, json);
    return query;
}

// Inserts the pairs that are not there yet in one statement; returns those it inserted.
std::variant<std::vector<std::pair<qint32, qint32>>, StoreFailure> EmployeeStore::insertPairs(
    const std::vector<std::pair<qint32, qint32>>& pairs, const QVariant& timestamp) {
    QSqlError error;
    QSqlQuery* query = boundInsert(pairs, timestamp, &error);
    if (!query) return failure(QStringLiteral("cannot prepare the assignment"), error);
    std::vector<std::pair<qint32, qint32>> inserted;
    auto problem = readRows(*query, QStringLiteral("cannot assign employees"), [&inserted](QSqlQuery& row) {
        inserted.emplace_back(row.value(0).toInt(), row.value(1).toInt());
    });
    if (problem) return *problem;
    return inserted;
}

// Removes the centre's pairs with these employees in one statement; returns the IDs removed.
std::variant<std::vector<qint32>, StoreFailure> EmployeeStore::deleteIds(qint32 centerId,
                                                                         const std::vector<qint32>& ids) {
    const QString where = isPostgres() ? QStringLiteral("EmployeeID = ANY (CAST(? AS INTEGER[]))")
                                       : QStringLiteral("EmployeeID IN (SELECT value FROM json_each(?))");
    QSqlError error;
    QSqlQuery* query = prepared(Prepared::Delete,
                                QStringLiteral("DELETE FROM CenterEmployeeCrossReference WHERE CenterID = ? AND %1 "
                                               "RETURNING EmployeeID")
                                    .arg(where),
                                &error);
    if (!query) return failure(QStringLiteral("cannot prepare the removal"), error);
    query->bindValue(0, centerId);
    query->bindValue(1, idArray(ids));
    std::vector<qint32> removed;
    auto problem = readRows(*query, QStringLiteral("cannot remove employees"),
                            [&removed](QSqlQuery& row) { removed.push_back(row.value(0).toInt()); });
    if (problem) return *problem;
    return removed;
}

// A run of INSERTs as one statement. In key order: the index grows at one end, and concurrent
// batches lock in one order.
std::optional<StoreFailure> EmployeeStore::applyInserts(std::span<const BatchStatement> run, const QVariant& timestamp,
                                                        BatchOutcome& outcome) {
    std::vector<std::pair<qint32, qint32>> wanted;
    for (const BatchStatement& entry : run) {
        const auto& insert = std::get<InsertStatement>(entry.statement);
        wanted.emplace_back(insert.centerId, insert.employeeId);
    }
    std::vector<std::pair<qint32, qint32>> distinct = wanted;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    auto inserted = insertPairs(distinct, timestamp);
    if (auto* problem = std::get_if<StoreFailure>(&inserted)) return *problem;
    std::unordered_set<quint64> fresh;
    for (const auto& [center, employee] : std::get<0>(inserted)) fresh.insert(pairKey(center, employee));
    for (const auto& [center, employee] : wanted)
        outcome.assigned(center, employee, fresh.erase(pairKey(center, employee)) > 0);
    return std::nullopt;
}

std::optional<StoreFailure> EmployeeStore::applyDelete(const DeleteStatement& remove, BatchOutcome& outcome) {
    auto removed = deleteIds(remove.centerId, remove.employeeIds);
    if (auto* problem = std::get_if<StoreFailure>(&removed)) return *problem;
    std::unordered_set<qint32> gone(std::get<0>(removed).begin(), std::get<0>(removed).end());
    for (qint32 employee : remove.employeeIds) outcome.removed(remove.centerId, employee, gone.erase(employee) > 0);
    return std::nullopt;
}

std::variant<ApplyResult, UnassignableEmployee, UnknownCentre, StoreFailure> EmployeeStore::apply(const Batch& batch,
                                                                                                  const QDateTime& now,
                                                                                                  const Actor& actor) {
    const auto chunks = chunksOf(batch);
    // The changes and their entries in the assignment log are one transaction: no change
    // without its record, no record of a change that did not happen. SQLite's transaction also
    // holds the write lock from the lookups on.
    Transaction transaction(db_, Transaction::Mode::Write);
    if (auto problem = transaction.startFailure()) return *problem;
    if (auto refusal = checkCentres(batch)) {
        if (auto* unknown = std::get_if<UnknownCentre>(&*refusal)) return *unknown;
        return std::get<StoreFailure>(*refusal);
    }
    if (auto refusal = checkAssignable(batch)) {
        if (auto* unassignable = std::get_if<UnassignableEmployee>(&*refusal)) return *unassignable;
        return std::get<StoreFailure>(*refusal);
    }
    const QVariant timestamp = timestampValue(now);
    BatchOutcome outcome;
    for (std::span<const BatchStatement> chunk : chunks) {
        const auto* remove = std::get_if<DeleteStatement>(&chunk.front().statement);
        if (auto problem = remove ? applyDelete(*remove, outcome) : applyInserts(chunk, timestamp, outcome))
            return *problem;
    }
    if (auto problem = writeLog(outcome, timestamp, actor)) return *problem;
    if (!transaction.commit()) return failure(QStringLiteral("cannot commit the batch"), db_.lastError());
    return outcome.take();
}

}  // namespace centeremp::server
