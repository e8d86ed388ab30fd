#include "server/employee_store.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <span>
#include <unordered_set>

namespace centeremp::server {

namespace {

const char *const sqliteSchema[] = {
    "CREATE TABLE IF NOT EXISTS employees ("
    " ID INTEGER PRIMARY KEY CHECK (ID BETWEEN -2147483648 AND 2147483647),"
    " name TEXT NOT NULL CHECK (length(trim(name)) > 0),"
    " active INTEGER NOT NULL DEFAULT 1 CHECK (active IN (0, 1)))",
    "CREATE TABLE IF NOT EXISTS CenterEmployeeCrossReference ("
    " CenterID INTEGER NOT NULL CHECK (CenterID BETWEEN -2147483648 AND 2147483647),"
    " EmployeeID INTEGER NOT NULL REFERENCES employees(ID),"
    " RecordLastUpdated TEXT NOT NULL,"
    " PRIMARY KEY (CenterID, EmployeeID))",
    "CREATE INDEX IF NOT EXISTS CenterEmployeeCrossReference_EmployeeID"
    " ON CenterEmployeeCrossReference (EmployeeID)",
};

// The bound time carries its UTC offset, so a column with a time zone stores the right
// instant whatever the session's time zone is.
const char *const postgresSchema[] = {
    "CREATE TABLE IF NOT EXISTS employees ("
    " ID INTEGER PRIMARY KEY,"
    " name TEXT NOT NULL CHECK (length(trim(name)) > 0),"
    " active BOOLEAN NOT NULL DEFAULT TRUE)",
    "CREATE TABLE IF NOT EXISTS CenterEmployeeCrossReference ("
    " CenterID INTEGER NOT NULL,"
    " EmployeeID INTEGER NOT NULL REFERENCES employees(ID),"
    " RecordLastUpdated TIMESTAMP WITH TIME ZONE NOT NULL,"
    " PRIMARY KEY (CenterID, EmployeeID))",
    "CREATE INDEX IF NOT EXISTS CenterEmployeeCrossReference_EmployeeID"
    " ON CenterEmployeeCrossReference (EmployeeID)",
};

// SQLite answers SQLITE_BUSY or SQLITE_LOCKED (possibly extended) once its busy time-out has
// passed; PostgreSQL reports lock_not_available or query_canceled for its time-outs.
bool isTimeOut(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    if (code == u"55P03" || code == u"57014")
        return true;
    bool numeric = false;
    const int sqliteCode = code.toInt(&numeric) & 0xFF;
    return numeric && (sqliteCode == 5 || sqliteCode == 6);
}

StoreFailure failure(const QString &what, const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    return StoreFailure{QStringLiteral("%1: %2").arg(what, error.text()), isTimeOut(error),
                        code == u"40P01" || code == u"40001"};
}

// Rolls back unless committed: every early return leaves the database as it was.
class Transaction
{
public:
    enum class Mode { Read, Write };
    explicit Transaction(QSqlDatabase &db, Mode mode = Mode::Read) : db_(db)
    {
        // SQLite: a write transaction takes the write lock at once (waiting its busy time-out
        // for it) instead of failing at its first write when another connection wrote meanwhile.
        if (mode == Mode::Write && db_.driverName() == u"QSQLITE") {
            QSqlQuery begin(db_);
            active_ = begin.exec(QStringLiteral("BEGIN IMMEDIATE"));
            error_ = begin.lastError();
        } else {
            active_ = db_.transaction();
            error_ = db_.lastError();
        }
    }
    ~Transaction()
    {
        if (active_)
            db_.rollback();
    }
    bool started() const { return active_; }
    QSqlError beginError() const { return error_; }
    bool commit()
    {
        if (!db_.commit())
            return false; // the destructor rolls back
        active_ = false;
        return true;
    }

private:
    QSqlDatabase &db_;
    bool active_ = false;
    QSqlError error_;
};

quint64 pairKey(qint32 centerId, qint32 employeeId)
{
    return (quint64(quint32(centerId)) << 32) | quint32(employeeId);
}

// Counts what each statement did. A statement that changed nothing is reported back only when
// no earlier statement of the same batch touched its pair: then only someone else's change
// explains it, and the operator should hear of it.
class Outcome
{
public:
    void assigned(qint32 centerId, qint32 employeeId, bool changed)
    {
        note(centerId, employeeId, changed, result_.assigned, result_.alreadyAssigned);
    }
    void removed(qint32 centerId, qint32 employeeId, bool changed)
    {
        note(centerId, employeeId, changed, result_.removed, result_.notAssigned);
    }
    ApplyResult take() { return std::move(result_); }

private:
    void note(qint32 centerId, qint32 employeeId, bool changed, qint64 &count, std::vector<qint32> &unchanged)
    {
        const bool first = touched_.insert(pairKey(centerId, employeeId)).second;
        if (changed)
            ++count;
        else if (first)
            unchanged.push_back(employeeId);
    }

    ApplyResult result_;
    std::unordered_set<quint64> touched_;
};

} // namespace

EmployeeStore::EmployeeStore(DatabaseAddress address, QString connectionName)
    : address_(std::move(address)), connectionName_(std::move(connectionName))
{
}

EmployeeStore::~EmployeeStore()
{
    close();
    if (QSqlDatabase::contains(connectionName_)) {
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName_);
    }
}

bool EmployeeStore::isOpen() const
{
    return db_.isOpen();
}

void EmployeeStore::close()
{
    prepared_.clear(); // they belong to the connection
    if (db_.isValid())
        db_.close();
}

QSqlQuery *EmployeeStore::prepared(Prepared which, const QString &text, QSqlError *error)
{
    auto &query = prepared_[which];
    if (!query) {
        auto fresh = std::make_unique<QSqlQuery>(db_);
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

std::optional<StoreFailure> EmployeeStore::open()
{
    if (!db_.isValid()) {
        const QString driver = isPostgres() ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
        if (!QSqlDatabase::isDriverAvailable(driver))
            return StoreFailure{QStringLiteral("the Qt Sql driver %1 is not installed").arg(driver)};
        db_ = QSqlDatabase::addDatabase(driver, connectionName_);
        if (isPostgres()) {
            if (!address_.host.isEmpty())
                db_.setHostName(address_.host);
            if (address_.port > 0)
                db_.setPort(address_.port);
            if (!address_.user.isEmpty())
                db_.setUserName(address_.user);
            if (!address_.password.isEmpty())
                db_.setPassword(address_.password);
            db_.setDatabaseName(address_.databaseName);
            db_.setConnectOptions(address_.connectOptions);
        } else {
            db_.setDatabaseName(address_.sqlitePath);
            // Another process (a backup, an operator's sqlite3 shell) may hold the file briefly.
            db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        }
    }
    if (!db_.isOpen() && !db_.open())
        return failure(QStringLiteral("cannot open the %1").arg(address_.describe()), db_.lastError());
    if (!isPostgres()) {
        QSqlQuery pragma(db_);
        if (!pragma.exec(QStringLiteral("PRAGMA foreign_keys = ON")))
            return failure(QStringLiteral("cannot enable foreign keys"), pragma.lastError());
        // Readers and the one writer then never wait for each other: a feed is served while a
        // large batch is being written.
        if (!pragma.exec(QStringLiteral("PRAGMA journal_mode = WAL")))
            return failure(QStringLiteral("cannot switch to write-ahead logging"), pragma.lastError());
        pragma.finish();
    }
    return createSchema();
}

std::optional<StoreFailure> EmployeeStore::createSchema()
{
    // Creating, even "if not exists", takes locks that wait for every writer; a worker that
    // connects while a large batch runs must not, so only a database without them creates them.
    QSqlQuery query(db_);
    const QString present =
        isPostgres() ? QStringLiteral("SELECT to_regclass('employees') IS NOT NULL AND "
                                      "to_regclass('centeremployeecrossreference') IS NOT NULL AND "
                                      "to_regclass('centeremployeecrossreference_employeeid') IS NOT NULL")
                     : QStringLiteral("SELECT COUNT(*) = 3 FROM sqlite_master WHERE lower(name) IN ('employees', "
                                      "'centeremployeecrossreference', 'centeremployeecrossreference_employeeid')");
    if (!query.exec(present) || !query.next())
        return failure(QStringLiteral("cannot look for the tables"), query.lastError());
    if (!query.value(0).toBool()) {
        Transaction transaction(db_, Transaction::Mode::Write);
        if (!transaction.started())
            return failure(QStringLiteral("cannot start a transaction"), transaction.beginError());
        for (const char *statement : isPostgres() ? std::span(postgresSchema) : std::span(sqliteSchema)) {
            if (!query.exec(QString::fromLatin1(statement)))
                return failure(QStringLiteral("cannot create the tables"), query.lastError());
        }
        if (!transaction.commit())
            return failure(QStringLiteral("cannot commit the tables"), db_.lastError());
    }
    // Tables made by someone else must still have the columns this server reads and writes.
    if (!query.exec(QStringLiteral("SELECT ID, name, active FROM employees WHERE 1 = 0")))
        return failure(QStringLiteral("the employees table lacks ID, name or active"), query.lastError());
    if (!query.exec(QStringLiteral("SELECT CenterID, EmployeeID, RecordLastUpdated FROM CenterEmployeeCrossReference "
                                   "WHERE 1 = 0")))
        return failure(QStringLiteral("the CenterEmployeeCrossReference table lacks CenterID, EmployeeID or "
                                      "RecordLastUpdated"),
                       query.lastError());
    query.finish();
    return std::nullopt;
}

QVariant EmployeeStore::timestampValue(const QDateTime &now) const
{
    const QDateTime utc = now.toUTC();
    if (isPostgres())
        return utc;
    // SQLite has no time type: ISO 8601 text in UTC sorts and compares correctly.
    return utc.toString(Qt::ISODateWithMs);
}

std::variant<CenterFeed, StoreFailure> EmployeeStore::centerFeed(qint32 centerId)
{
    return isPostgres() ? joinedFeed(centerId) : mergedFeed(centerId);
}

// PostgreSQL: one statement, so both lists come from one snapshot without a transaction around
// them; the planner joins the two ordered sets in one pass.
std::variant<CenterFeed, StoreFailure> EmployeeStore::joinedFeed(qint32 centerId)
{
    QSqlError error;
    QSqlQuery *query = prepared(Prepared::Feed,
                                QStringLiteral("SELECT e.ID, e.name, x.EmployeeID FROM employees e "
                                               "LEFT JOIN CenterEmployeeCrossReference x "
                                               "ON x.CenterID = ? AND x.EmployeeID = e.ID "
                                               "WHERE e.active ORDER BY e.ID"),
                                &error);
    if (!query)
        return failure(QStringLiteral("cannot prepare the centre query"), error);
    query->bindValue(0, centerId);
    if (!query->exec())
        return failure(QStringLiteral("cannot read centre %1").arg(centerId), query->lastError());
    CenterFeed feed;
    while (query->next()) {
        Employee employee{query->value(0).toInt(), query->value(1).toString()};
        if (query->isNull(2))
            feed.nonSelected.push_back(std::move(employee));
        else
            feed.selected.push_back(std::move(employee));
    }
    const QSqlError readError = query->lastError();
    query->finish();
    if (readError.isValid())
        return failure(QStringLiteral("cannot read centre %1").arg(centerId), readError);
    return feed;
}

// SQLite probes the assignment key once per employee for a join, a third slower at 32767
// employees than two ordered scans merged here. Both scans run in one read transaction, so they
// see the same state; in WAL mode that transaction never waits for a writer.
std::variant<CenterFeed, StoreFailure> EmployeeStore::mergedFeed(qint32 centerId)
{
    Transaction transaction(db_);
    if (!transaction.started())
        return failure(QStringLiteral("cannot start a transaction"), transaction.beginError());
    QSqlError error;
    QSqlQuery *assignedQuery = prepared(
        Prepared::FeedAssigned,
        QStringLiteral("SELECT EmployeeID FROM CenterEmployeeCrossReference WHERE CenterID = ? ORDER BY EmployeeID"),
        &error);
    QSqlQuery *employeeQuery =
        assignedQuery ? prepared(Prepared::FeedEmployees,
                                 QStringLiteral("SELECT ID, name FROM employees WHERE active ORDER BY ID"), &error)
                      : nullptr;
    if (!employeeQuery)
        return failure(QStringLiteral("cannot prepare the centre query"), error);

    std::vector<qint32> assigned;
    assignedQuery->bindValue(0, centerId);
    if (!assignedQuery->exec())
        return failure(QStringLiteral("cannot read centre %1").arg(centerId), assignedQuery->lastError());
    while (assignedQuery->next())
        assigned.push_back(assignedQuery->value(0).toInt());
    error = assignedQuery->lastError();
    assignedQuery->finish();
    if (error.isValid())
        return failure(QStringLiteral("cannot read centre %1").arg(centerId), error);

    if (!employeeQuery->exec())
        return failure(QStringLiteral("cannot read the employees"), employeeQuery->lastError());
    CenterFeed feed;
    auto next = assigned.cbegin();
    while (employeeQuery->next()) {
        Employee employee{employeeQuery->value(0).toInt(), employeeQuery->value(1).toString()};
        while (next != assigned.cend() && *next < employee.id)
            ++next;
        if (next != assigned.cend() && *next == employee.id)
            feed.selected.push_back(std::move(employee));
        else
            feed.nonSelected.push_back(std::move(employee));
    }
    error = employeeQuery->lastError();
    employeeQuery->finish();
    if (error.isValid())
        return failure(QStringLiteral("cannot read the employees"), error);
    transaction.commit();
    return feed;
}

// The IDs as one bound text: a PostgreSQL array literal or a JSON array for SQLite. Every
// element is a number we formatted ourselves, so the text can hold nothing else.
QString EmployeeStore::idArray(const std::vector<qint32> &ids) const
{
    QString text;
    text.reserve(qsizetype(ids.size() * 8 + 2));
    text += isPostgres() ? u'{' : u'[';
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i > 0)
            text += u',';
        text += QString::number(ids[i]);
    }
    text += isPostgres() ? u'}' : u']';
    return text;
}

std::variant<std::unordered_map<qint32, bool>, StoreFailure> EmployeeStore::activeByIds(std::vector<qint32> ids)
{
    std::unordered_map<qint32, bool> activeById;
    if (ids.empty())
        return activeById;
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    QSqlError error;
    QSqlQuery *query = prepared(
        Prepared::Lookup,
        isPostgres() ? QStringLiteral("SELECT ID, active FROM employees WHERE ID = ANY (CAST(? AS INTEGER[]))")
                     : QStringLiteral("SELECT ID, active FROM employees WHERE ID IN (SELECT value FROM json_each(?))"),
        &error);
    if (!query)
        return failure(QStringLiteral("cannot prepare the employee lookup"), error);
    query->bindValue(0, idArray(ids));
    if (!query->exec())
        return failure(QStringLiteral("cannot look up employees"), query->lastError());
    while (query->next())
        activeById[query->value(0).toInt()] = query->value(1).toBool();
    const QSqlError readError = query->lastError();
    query->finish();
    if (readError.isValid())
        return failure(QStringLiteral("cannot look up employees"), readError);
    return activeById;
}

// Inserts the pairs that are not there yet in one statement; returns those it inserted.
std::variant<std::vector<std::pair<qint32, qint32>>, StoreFailure>
EmployeeStore::insertPairs(const std::vector<std::pair<qint32, qint32>> &pairs, const QVariant &timestamp)
{
    const QString insertInto =
        QStringLiteral("INSERT INTO CenterEmployeeCrossReference (CenterID, EmployeeID, RecordLastUpdated) ");
    const QString onConflict = QStringLiteral(" ON CONFLICT DO NOTHING RETURNING CenterID, EmployeeID");
    QSqlError error;
    QSqlQuery *query = nullptr;
    if (isPostgres()) {
        query = prepared(Prepared::Insert,
                         insertInto +
                             QStringLiteral("SELECT pair.c, pair.e, CAST(? AS TIMESTAMP WITH TIME ZONE) FROM "
                                            "unnest(CAST(? AS INTEGER[]), CAST(? AS INTEGER[])) AS pair (c, e)") +
                             onConflict,
                         &error);
        std::vector<qint32> centers, employees;
        for (const auto &[center, employee] : pairs) {
            centers.push_back(center);
            employees.push_back(employee);
        }
        if (query) {
            query->bindValue(0, timestamp);
            query->bindValue(1, idArray(centers));
            query->bindValue(2, idArray(employees));
        }
    } else {
        // "WHERE true" keeps SQLite from reading ON CONFLICT as part of the SELECT.
        query = prepared(Prepared::Insert,
                         insertInto + QStringLiteral("SELECT value ->> 0, value ->> 1, ? FROM json_each(?) WHERE true") +
                             onConflict,
                         &error);
        QString json;
        json.reserve(qsizetype(pairs.size() * 16 + 2));
        json += u'[';
        for (const auto &[center, employee] : pairs)
            json += u'[' + QString::number(center) + u',' + QString::number(employee) + QStringLiteral("],");
        json.back() = u']';
        if (query) {
            query->bindValue(0, timestamp);
            query->bindValue(1, json);
        }
    }
    if (!query)
        return failure(QStringLiteral("cannot prepare the assignment"), error);
    if (!query->exec())
        return failure(QStringLiteral("cannot assign employees"), query->lastError());
    std::vector<std::pair<qint32, qint32>> inserted;
    while (query->next())
        inserted.emplace_back(query->value(0).toInt(), query->value(1).toInt());
    const QSqlError readError = query->lastError();
    query->finish();
    if (readError.isValid())
        return failure(QStringLiteral("cannot assign employees"), readError);
    return inserted;
}

// Removes the centre's pairs with these employees in one statement; returns the IDs removed.
std::variant<std::vector<qint32>, StoreFailure> EmployeeStore::deleteIds(qint32 centerId, const std::vector<qint32> &ids)
{
    const QString where = isPostgres() ? QStringLiteral("EmployeeID = ANY (CAST(? AS INTEGER[]))")
                                       : QStringLiteral("EmployeeID IN (SELECT value FROM json_each(?))");
    QSqlError error;
    QSqlQuery *query = prepared(Prepared::Delete,
                                QStringLiteral("DELETE FROM CenterEmployeeCrossReference WHERE CenterID = ? AND %1 "
                                               "RETURNING EmployeeID")
                                    .arg(where),
                                &error);
    if (!query)
        return failure(QStringLiteral("cannot prepare the removal"), error);
    query->bindValue(0, centerId);
    query->bindValue(1, idArray(ids));
    if (!query->exec())
        return failure(QStringLiteral("cannot remove employees"), query->lastError());
    std::vector<qint32> removed;
    while (query->next())
        removed.push_back(query->value(0).toInt());
    const QSqlError readError = query->lastError();
    query->finish();
    if (readError.isValid())
        return failure(QStringLiteral("cannot remove employees"), readError);
    return removed;
}

// Every employee an INSERT names must exist and be active; looked up inside the batch's
// transaction, before anything is written. The first offending field in batch order is named.
std::optional<std::variant<UnassignableEmployee, StoreFailure>> EmployeeStore::checkAssignable(const Batch &batch)
{
    std::vector<qint32> wanted;
    for (const BatchStatement &entry : batch.statements) {
        if (const auto *insert = std::get_if<InsertStatement>(&entry.statement))
            wanted.push_back(insert->employeeId);
    }
    auto looked = activeByIds(std::move(wanted));
    if (auto *problem = std::get_if<StoreFailure>(&looked))
        return *problem;
    const auto &activeById = std::get<std::unordered_map<qint32, bool>>(looked);
    for (const BatchStatement &entry : batch.statements) {
        if (const auto *insert = std::get_if<InsertStatement>(&entry.statement)) {
            const auto found = activeById.find(insert->employeeId);
            if (found == activeById.end() || !found->second)
                return UnassignableEmployee{entry.fieldNumber, insert->employeeId, found != activeById.end()};
        }
    }
    return std::nullopt;
}

std::variant<ApplyResult, UnassignableEmployee, StoreFailure> EmployeeStore::apply(const Batch &batch,
                                                                                   const QDateTime &now)
{
    Transaction transaction(db_, Transaction::Mode::Write);
    if (!transaction.started())
        return failure(QStringLiteral("cannot start a transaction"), transaction.beginError());

    if (auto refusal = checkAssignable(batch)) {
        if (auto *unassignable = std::get_if<UnassignableEmployee>(&*refusal))
            return *unassignable;
        return std::get<StoreFailure>(*refusal);
    }

    // Consecutive INSERTs commute, so they go out together; a DELETE between them keeps its place.
    const QVariant timestamp = timestampValue(now);
    Outcome outcome;
    std::vector<std::pair<qint32, qint32>> pending;
    auto flushInserts = [&]() -> std::optional<StoreFailure> {
        if (pending.empty())
            return std::nullopt;
        // In key order: the index grows at one end, and concurrent batches lock in one order.
        std::vector<std::pair<qint32, qint32>> distinct = pending;
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        auto inserted = insertPairs(distinct, timestamp);
        if (auto *problem = std::get_if<StoreFailure>(&inserted))
            return *problem;
        std::unordered_set<quint64> fresh;
        for (const auto &[center, employee] : std::get<0>(inserted))
            fresh.insert(pairKey(center, employee));
        for (const auto &[center, employee] : pending)
            outcome.assigned(center, employee, fresh.erase(pairKey(center, employee)) > 0);
        pending.clear();
        return std::nullopt;
    };
    for (const BatchStatement &entry : batch.statements) {
        if (const auto *insert = std::get_if<InsertStatement>(&entry.statement)) {
            pending.emplace_back(insert->centerId, insert->employeeId);
            continue;
        }
        if (auto problem = flushInserts())
            return *problem;
        const auto &remove = std::get<DeleteStatement>(entry.statement);
        auto removed = deleteIds(remove.centerId, remove.employeeIds);
        if (auto *problem = std::get_if<StoreFailure>(&removed))
            return *problem;
        std::unordered_set<qint32> gone(std::get<0>(removed).begin(), std::get<0>(removed).end());
        for (qint32 employee : remove.employeeIds)
            outcome.removed(remove.centerId, employee, gone.erase(employee) > 0);
    }
    if (auto problem = flushInserts())
        return *problem;
    if (!transaction.commit())
        return failure(QStringLiteral("cannot commit the batch"), db_.lastError());
    return outcome.take();
}

std::variant<bool, StoreFailure> EmployeeStore::isEmpty()
{
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM employees) + "
                                   "(SELECT COUNT(*) FROM CenterEmployeeCrossReference)")) ||
        !query.next())
        return failure(QStringLiteral("cannot count rows"), query.lastError());
    return query.value(0).toLongLong() == 0;
}

std::optional<StoreFailure> EmployeeStore::insertSeed(const std::vector<SeedEmployee> &employees,
                                                      const std::vector<SeedAssignment> &assignments,
                                                      const QDateTime &now)
{
    Transaction transaction(db_, Transaction::Mode::Write);
    if (!transaction.started())
        return failure(QStringLiteral("cannot start a transaction"), transaction.beginError());
    QSqlQuery addEmployee(db_);
    if (!addEmployee.prepare(QStringLiteral("INSERT INTO employees (ID, name, active) VALUES (?, ?, ?)")))
        return failure(QStringLiteral("cannot prepare the employee insert"), addEmployee.lastError());
    for (const SeedEmployee &employee : employees) {
        addEmployee.bindValue(0, employee.id);
        addEmployee.bindValue(1, employee.name);
        addEmployee.bindValue(2, employee.active);
        if (!addEmployee.exec())
            return failure(QStringLiteral("cannot add employee %1").arg(employee.id), addEmployee.lastError());
    }
    QSqlQuery assign(db_);
    if (!assign.prepare(QStringLiteral("INSERT INTO CenterEmployeeCrossReference (CenterID, EmployeeID, "
                                       "RecordLastUpdated) VALUES (?, ?, ?)")))
        return failure(QStringLiteral("cannot prepare the assignment insert"), assign.lastError());
    const QVariant timestamp = timestampValue(now);
    for (const SeedAssignment &assignment : assignments) {
        assign.bindValue(0, assignment.centerId);
        assign.bindValue(1, assignment.employeeId);
        assign.bindValue(2, timestamp);
        if (!assign.exec())
            return failure(QStringLiteral("cannot assign employee %1 to centre %2")
                               .arg(assignment.employeeId)
                               .arg(assignment.centerId),
                           assign.lastError());
    }
    if (!transaction.commit())
        return failure(QStringLiteral("cannot commit the sample data"), db_.lastError());
    return std::nullopt;
}

} // namespace centeremp::server
