// EmployeeStore: applying a batch of assignments and removals in one transaction.

#include "server/employee_store.h"
#include "server/store_queries.h"

#include <algorithm>
#include <unordered_set>

namespace centeremp::server {

namespace {

// The columns of the assignment log every entry fills.
constexpr char logColumns[] =
    "INSERT INTO assignment_log (loggedAt, operatorName, remoteAddress, centerID, employeeID, change, outcome) ";

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
    // keepsLog: the entries are written after the batch (SQLite), not by its statements.
    explicit BatchOutcome(bool keepsLog) : keepsLog_(keepsLog) {}
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
        if (!keepsLog_) return;
        log_.centres.push_back(centerId);
        log_.employees.push_back(employeeId);
        log_.added.push_back(added ? 1 : 0);
        log_.applied.push_back(changed ? 1 : 0);
    }

    bool keepsLog_;
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
    for (qint32 centre : centresOf(batch)) {
        auto exists = centreExists(centre);
        if (auto* problem = std::get_if<StoreFailure>(&exists)) return *problem;
        if (!std::get<bool>(exists)) return UnknownCentre{centre};
    }
    return std::nullopt;
}

// SQLite: the whole batch's entries of the assignment log in one statement, in the batch's
// order: one JSON array of [centre, employee, added, applied] entries.
std::optional<StoreFailure> EmployeeStore::writeLog(const BatchOutcome& outcome, const QVariant& timestamp,
                                                    const Actor& actor) {
    const BatchOutcome::Log& log = outcome.log();
    if (log.centres.empty()) return std::nullopt;
    QSqlError error;
    QSqlQuery* query =
        prepared(Prepared::Log,
                 QString::fromLatin1(logColumns) +
                     QStringLiteral("SELECT ?, ?, ?, value ->> 0, value ->> 1, CASE WHEN value ->> 2 = 1 "
                                    "THEN 'add' ELSE 'remove' END, CASE WHEN value ->> 3 = 1 THEN "
                                    "'applied' ELSE 'no-op' END FROM json_each(?) ORDER BY key"),
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
    bindWho(*query, 0, timestamp, actor);
    query->bindValue(3, json);
    return readRows(*query, QStringLiteral("cannot write the assignment log"), [](QSqlQuery&) {});
}

// PostgreSQL writes a statement's entries of the assignment log in the statement that makes
// the change, so the change is all or nothing with its record even without a transaction.
// "changed" is what the change returns; an entry is applied when it is the first of its pair in
// the statement and the pair changed, as BatchOutcome counts it.
QString EmployeeStore::withLog(const QString& change, const char* action) const {
    return QStringLiteral(
               "WITH changed AS (%1), logged AS (%2SELECT CAST(? AS TIMESTAMP WITH TIME ZONE), ?, ?, l.c, "
               "l.e, '%3', CASE WHEN l.f = 1 AND x.EmployeeID IS NOT NULL THEN 'applied' ELSE 'no-op' END "
               "FROM unnest(CAST(? AS INTEGER[]), CAST(? AS INTEGER[]), CAST(? AS INTEGER[])) WITH "
               "ORDINALITY AS l (c, e, f, n) LEFT JOIN changed x ON x.CenterID = l.c AND x.EmployeeID = "
               "l.e ORDER BY l.n) SELECT CenterID, EmployeeID FROM changed")
        .arg(change, QString::fromLatin1(logColumns), QString::fromLatin1(action));
}

void EmployeeStore::bindLog(QSqlQuery& query, int first, const StatementLog& log, const QVariant& timestamp,
                            const Actor& actor) const {
    bindWho(query, first, timestamp, actor);
    query.bindValue(first + 3, idArray(log.centres));
    query.bindValue(first + 4, idArray(log.employees));
    query.bindValue(first + 5, idArray(log.first));
}

// A null text would be bound as NULL; nobody signed in is recorded as an empty name.
void EmployeeStore::bindWho(QSqlQuery& query, int first, const QVariant& timestamp, const Actor& actor) const {
    const auto text = [](const QString& value) { return value.isNull() ? QStringLiteral("") : value; };
    query.bindValue(first, timestamp);
    query.bindValue(first + 1, text(actor.operatorName));
    query.bindValue(first + 2, text(actor.remoteAddress));
}

// The INSERT of these pairs, prepared and bound: two arrays PostgreSQL unnests side by side, or
// one JSON array of [centre, employee] pairs for SQLite. Null when it cannot be prepared.
QSqlQuery* EmployeeStore::boundInsert(const std::vector<std::pair<qint32, qint32>>& pairs, const QVariant& timestamp,
                                      const StatementLog& log, const Actor& actor, QSqlError* error) {
    const QString insertInto =
        QStringLiteral("INSERT INTO CenterEmployeeCrossReference (CenterID, EmployeeID, RecordLastUpdated) ");
    const QString onConflict = QStringLiteral(" ON CONFLICT DO NOTHING RETURNING CenterID, EmployeeID");
    if (isPostgres()) {
        QSqlQuery* query =
            prepared(Prepared::Insert,
                     withLog(insertInto +
                                 QStringLiteral("SELECT pair.c, pair.e, CAST(? AS TIMESTAMP WITH TIME ZONE) FROM "
                                                "unnest(CAST(? AS INTEGER[]), CAST(? AS INTEGER[])) AS pair (c, e)") +
                                 onConflict,
                             "add"),
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
        bindLog(*query, 3, log, timestamp, actor);
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
    const std::vector<std::pair<qint32, qint32>>& pairs, const Stamp& stamp, const StatementLog& log) {
    QSqlError error;
    QSqlQuery* query = boundInsert(pairs, stamp.timestamp, log, stamp.actor, &error);
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
                                                                         const std::vector<qint32>& ids,
                                                                         const Stamp& stamp, const StatementLog& log) {
    const QString where = isPostgres() ? QStringLiteral("EmployeeID = ANY (CAST(? AS INTEGER[]))")
                                       : QStringLiteral("EmployeeID IN (SELECT value FROM json_each(?))");
    const QString remove = QStringLiteral(
                               "DELETE FROM CenterEmployeeCrossReference WHERE CenterID = ? AND %1 "
                               "RETURNING CenterID, EmployeeID")
                               .arg(where);
    QSqlError error;
    QSqlQuery* query = prepared(Prepared::Delete, isPostgres() ? withLog(remove, "remove") : remove, &error);
    if (!query) return failure(QStringLiteral("cannot prepare the removal"), error);
    query->bindValue(0, centerId);
    query->bindValue(1, idArray(ids));
    if (isPostgres()) bindLog(*query, 2, log, stamp.timestamp, stamp.actor);
    std::vector<qint32> removed;
    auto problem = readRows(*query, QStringLiteral("cannot remove employees"),
                            [&removed](QSqlQuery& row) { removed.push_back(row.value(1).toInt()); });
    if (problem) return *problem;
    return removed;
}

// The entries of one statement's log in statement order, each marked when it is the first of
// its pair in the statement.
EmployeeStore::StatementLog EmployeeStore::statementLog(const std::vector<std::pair<qint32, qint32>>& pairs) {
    StatementLog log;
    std::unordered_set<quint64> seen;
    for (const auto& [center, employee] : pairs) {
        log.centres.push_back(center);
        log.employees.push_back(employee);
        log.first.push_back(seen.insert(pairKey(center, employee)).second ? 1 : 0);
    }
    return log;
}

// A run of INSERTs as one statement. In key order: the index grows at one end, and concurrent
// batches lock in one order.
std::optional<StoreFailure> EmployeeStore::applyInserts(std::span<const BatchStatement> run, const Stamp& stamp,
                                                        BatchOutcome& outcome) {
    std::vector<std::pair<qint32, qint32>> wanted;
    for (const BatchStatement& entry : run) {
        const auto& insert = std::get<InsertStatement>(entry.statement);
        wanted.emplace_back(insert.centerId, insert.employeeId);
    }
    std::vector<std::pair<qint32, qint32>> distinct = wanted;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    auto inserted = insertPairs(distinct, stamp, isPostgres() ? statementLog(wanted) : StatementLog{});
    if (auto* problem = std::get_if<StoreFailure>(&inserted)) return *problem;
    std::unordered_set<quint64> fresh;
    for (const auto& [center, employee] : std::get<0>(inserted)) fresh.insert(pairKey(center, employee));
    for (const auto& [center, employee] : wanted)
        outcome.assigned(center, employee, fresh.erase(pairKey(center, employee)) > 0);
    return std::nullopt;
}

std::optional<StoreFailure> EmployeeStore::applyDelete(const DeleteStatement& remove, const Stamp& stamp,
                                                       BatchOutcome& outcome) {
    StatementLog log;
    if (isPostgres()) {
        std::vector<std::pair<qint32, qint32>> pairs;
        for (qint32 employee : remove.employeeIds) pairs.emplace_back(remove.centerId, employee);
        log = statementLog(pairs);
    }
    auto removed = deleteIds(remove.centerId, remove.employeeIds, stamp, log);
    if (auto* problem = std::get_if<StoreFailure>(&removed)) return *problem;
    std::unordered_set<qint32> gone(std::get<0>(removed).begin(), std::get<0>(removed).end());
    for (qint32 employee : remove.employeeIds) outcome.removed(remove.centerId, employee, gone.erase(employee) > 0);
    return std::nullopt;
}

std::variant<ApplyResult, UnassignableEmployee, UnknownCentre, StoreFailure> EmployeeStore::apply(const Batch& batch,
                                                                                                  const QDateTime& now,
                                                                                                  const Actor& actor) {
    const auto chunks = chunksOf(batch);
    // Every change is written with its entries of the assignment log, in one transaction: no
    // change without its record, no record of a change that did not happen. A PostgreSQL batch
    // that writes with one statement needs no transaction around it: that statement writes the
    // log too and is all or nothing by itself, and the lookups before it read what was
    // committed, as they would inside a read-committed transaction. That saves two round trips.
    // SQLite's transaction also holds the write lock from the lookups on.
    std::optional<Transaction> transaction;
    if (!isPostgres() || chunks.size() > 1) {
        transaction.emplace(db_, Transaction::Mode::Write);
        if (auto problem = transaction->startFailure()) return *problem;
    }
    if (auto refusal = checkCentres(batch)) {
        if (auto* unknown = std::get_if<UnknownCentre>(&*refusal)) return *unknown;
        return std::get<StoreFailure>(*refusal);
    }
    if (auto refusal = checkAssignable(batch)) {
        if (auto* unassignable = std::get_if<UnassignableEmployee>(&*refusal)) return *unassignable;
        return std::get<StoreFailure>(*refusal);
    }
    const Stamp stamp{timestampValue(now), actor};
    BatchOutcome outcome(!isPostgres());
    for (std::span<const BatchStatement> chunk : chunks) {
        const auto* remove = std::get_if<DeleteStatement>(&chunk.front().statement);
        if (auto problem = remove ? applyDelete(*remove, stamp, outcome) : applyInserts(chunk, stamp, outcome))
            return *problem;
    }
    if (!isPostgres()) {
        if (auto problem = writeLog(outcome, stamp.timestamp, actor)) return *problem;
    }
    if (transaction && !transaction->commit())
        return failure(QStringLiteral("cannot commit the batch"), db_.lastError());
    return outcome.take();
}

}  // namespace centeremp::server
