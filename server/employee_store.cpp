#include "server/employee_store.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <functional>
#include <map>
#include <unordered_map>

namespace centeremp::server {

namespace {

// Rows per multi-row INSERT and IDs per DELETE ... IN (...): few round trips, and well under
// the bound-parameter limits of both databases.
constexpr std::size_t insertRowsPerStatement = 200;
constexpr std::size_t idsPerStatement = 500;

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

StoreFailure failure(const QString &what, const QSqlError &error)
{
    return StoreFailure{QStringLiteral("%1: %2").arg(what, error.text())};
}

QString placeholders(std::size_t rows, QStringView row)
{
    QString text;
    text.reserve(qsizetype(rows * (row.size() + 1)));
    for (std::size_t i = 0; i < rows; ++i) {
        if (i > 0)
            text += u',';
        text += row;
    }
    return text;
}

// Rolls back unless committed: every early return leaves the database as it was.
class Transaction
{
public:
    explicit Transaction(QSqlDatabase &db) : m_db(db) { m_active = m_db.transaction(); }
    ~Transaction()
    {
        if (m_active)
            m_db.rollback();
    }
    bool started() const { return m_active; }
    bool commit()
    {
        if (!m_db.commit())
            return false; // the destructor rolls back
        m_active = false;
        return true;
    }

private:
    QSqlDatabase &m_db;
    bool m_active = false;
};

// Prepares one statement per chunk size and reuses it, so a large batch prepares at most two.
class ChunkedStatement
{
public:
    ChunkedStatement(QSqlDatabase &db, std::function<QString(std::size_t)> textFor)
        : m_db(db), m_textFor(std::move(textFor))
    {
    }

    QSqlQuery *forSize(std::size_t n, QSqlError *error)
    {
        auto it = m_prepared.find(n);
        if (it != m_prepared.end())
            return &it->second;
        QSqlQuery query(m_db);
        if (!query.prepare(m_textFor(n))) {
            *error = query.lastError();
            return nullptr;
        }
        return &m_prepared.emplace(n, std::move(query)).first->second;
    }

private:
    QSqlDatabase &m_db;
    std::function<QString(std::size_t)> m_textFor;
    std::map<std::size_t, QSqlQuery> m_prepared;
};

} // namespace

EmployeeStore::EmployeeStore(DatabaseAddress address, QString connectionName)
    : m_address(std::move(address)), m_connectionName(std::move(connectionName))
{
}

EmployeeStore::~EmployeeStore()
{
    close();
    if (QSqlDatabase::contains(m_connectionName)) {
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

bool EmployeeStore::isOpen() const
{
    return m_db.isOpen();
}

void EmployeeStore::close()
{
    if (m_db.isValid())
        m_db.close();
}

std::optional<StoreFailure> EmployeeStore::open()
{
    if (!m_db.isValid()) {
        const QString driver = isPostgres() ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
        if (!QSqlDatabase::isDriverAvailable(driver))
            return StoreFailure{QStringLiteral("the Qt Sql driver %1 is not installed").arg(driver)};
        m_db = QSqlDatabase::addDatabase(driver, m_connectionName);
        if (isPostgres()) {
            if (!m_address.host.isEmpty())
                m_db.setHostName(m_address.host);
            if (m_address.port > 0)
                m_db.setPort(m_address.port);
            if (!m_address.user.isEmpty())
                m_db.setUserName(m_address.user);
            if (!m_address.password.isEmpty())
                m_db.setPassword(m_address.password);
            m_db.setDatabaseName(m_address.databaseName);
            m_db.setConnectOptions(m_address.connectOptions);
        } else {
            m_db.setDatabaseName(m_address.sqlitePath);
            // Another process (a backup, an operator's sqlite3 shell) may hold the file briefly.
            m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        }
    }
    if (!m_db.isOpen() && !m_db.open())
        return failure(QStringLiteral("cannot open the %1").arg(m_address.describe()), m_db.lastError());
    if (!isPostgres()) {
        QSqlQuery pragma(m_db);
        if (!pragma.exec(QStringLiteral("PRAGMA foreign_keys = ON")))
            return failure(QStringLiteral("cannot enable foreign keys"), pragma.lastError());
    }
    return createSchema();
}

std::optional<StoreFailure> EmployeeStore::createSchema()
{
    Transaction transaction(m_db);
    if (!transaction.started())
        return failure(QStringLiteral("cannot start a transaction"), m_db.lastError());
    QSqlQuery query(m_db);
    if (isPostgres()) {
        for (const char *statement : postgresSchema) {
            if (!query.exec(QString::fromLatin1(statement)))
                return failure(QStringLiteral("cannot create the tables"), query.lastError());
        }
    } else {
        for (const char *statement : sqliteSchema) {
            if (!query.exec(QString::fromLatin1(statement)))
                return failure(QStringLiteral("cannot create the tables"), query.lastError());
        }
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
    if (!transaction.commit())
        return failure(QStringLiteral("cannot commit the tables"), m_db.lastError());
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
    // Two ordered scans merged here: much cheaper than probing the assignments once per
    // employee. Both run in one read transaction so they see the same state (in PostgreSQL
    // that takes REPEATABLE READ; SQLite holds its read lock until the transaction ends).
    Transaction transaction(m_db);
    if (!transaction.started())
        return failure(QStringLiteral("cannot start a transaction"), m_db.lastError());
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (isPostgres() && !query.exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY")))
        return failure(QStringLiteral("cannot set the isolation level"), query.lastError());

    std::vector<qint32> assigned;
    if (!query.prepare(QStringLiteral("SELECT EmployeeID FROM CenterEmployeeCrossReference WHERE CenterID = ? "
                                      "ORDER BY EmployeeID")))
        return failure(QStringLiteral("cannot prepare the assignment query"), query.lastError());
    query.addBindValue(centerId);
    if (!query.exec())
        return failure(QStringLiteral("cannot read centre %1").arg(centerId), query.lastError());
    while (query.next())
        assigned.push_back(query.value(0).toInt());
    if (query.lastError().isValid())
        return failure(QStringLiteral("cannot read centre %1").arg(centerId), query.lastError());

    if (!query.exec(QStringLiteral("SELECT ID, name FROM employees WHERE active ORDER BY ID")))
        return failure(QStringLiteral("cannot read the employees"), query.lastError());
    CenterFeed feed;
    auto next = assigned.cbegin();
    while (query.next()) {
        Employee employee{query.value(0).toInt(), query.value(1).toString()};
        while (next != assigned.cend() && *next < employee.id)
            ++next;
        if (next != assigned.cend() && *next == employee.id)
            feed.selected.push_back(std::move(employee));
        else
            feed.nonSelected.push_back(std::move(employee));
    }
    if (query.lastError().isValid())
        return failure(QStringLiteral("cannot read the employees"), query.lastError());
    query.finish();
    transaction.commit();
    return feed;
}

std::variant<ApplyResult, UnassignableEmployee, StoreFailure> EmployeeStore::apply(const Batch &batch,
                                                                                   const QDateTime &now)
{
    Transaction transaction(m_db);
    if (!transaction.started())
        return failure(QStringLiteral("cannot start a transaction"), m_db.lastError());

    // Every employee an INSERT names must exist and be active; look them up in chunks inside
    // the transaction, before anything is written.
    std::vector<qint32> wanted;
    for (const BatchStatement &entry : batch.statements) {
        if (const auto *insert = std::get_if<InsertStatement>(&entry.statement))
            wanted.push_back(insert->employeeId);
    }
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    std::unordered_map<qint32, bool> activeById;
    {
        ChunkedStatement lookup(m_db, [](std::size_t n) {
            return QStringLiteral("SELECT ID, active FROM employees WHERE ID IN (%1)").arg(placeholders(n, u"?"));
        });
        for (std::size_t start = 0; start < wanted.size(); start += idsPerStatement) {
            const std::size_t n = std::min(idsPerStatement, wanted.size() - start);
            QSqlError error;
            QSqlQuery *query = lookup.forSize(n, &error);
            if (!query)
                return failure(QStringLiteral("cannot prepare the employee lookup"), error);
            for (std::size_t i = 0; i < n; ++i)
                query->bindValue(int(i), wanted[start + i]);
            if (!query->exec())
                return failure(QStringLiteral("cannot look up employees"), query->lastError());
            while (query->next())
                activeById[query->value(0).toInt()] = query->value(1).toBool();
            query->finish();
        }
    }
    for (const BatchStatement &entry : batch.statements) {
        if (const auto *insert = std::get_if<InsertStatement>(&entry.statement)) {
            const auto found = activeById.find(insert->employeeId);
            if (found == activeById.end())
                return UnassignableEmployee{entry.fieldNumber, insert->employeeId, false};
            if (!found->second)
                return UnassignableEmployee{entry.fieldNumber, insert->employeeId, true};
        }
    }

    const QVariant timestamp = timestampValue(now);
    ApplyResult result;
    ChunkedStatement inserter(m_db, [](std::size_t n) {
        return QStringLiteral("INSERT INTO CenterEmployeeCrossReference (CenterID, EmployeeID, RecordLastUpdated)"
                              " VALUES %1 ON CONFLICT DO NOTHING")
            .arg(placeholders(n, u"(?, ?, ?)"));
    });
    ChunkedStatement deleter(m_db, [](std::size_t n) {
        return QStringLiteral("DELETE FROM CenterEmployeeCrossReference WHERE CenterID = ? AND EmployeeID IN (%1)")
            .arg(placeholders(n, u"?"));
    });

    // Consecutive INSERTs commute, so they go out together; a DELETE between them keeps its place.
    std::vector<const InsertStatement *> pending;
    auto flushInserts = [&]() -> std::optional<StoreFailure> {
        for (std::size_t start = 0; start < pending.size(); start += insertRowsPerStatement) {
            const std::size_t n = std::min(insertRowsPerStatement, pending.size() - start);
            QSqlError error;
            QSqlQuery *query = inserter.forSize(n, &error);
            if (!query)
                return failure(QStringLiteral("cannot prepare the assignment"), error);
            for (std::size_t i = 0; i < n; ++i) {
                query->bindValue(int(3 * i), pending[start + i]->centerId);
                query->bindValue(int(3 * i + 1), pending[start + i]->employeeId);
                query->bindValue(int(3 * i + 2), timestamp);
            }
            if (!query->exec())
                return failure(QStringLiteral("cannot assign employees"), query->lastError());
            result.assigned += std::max(0, query->numRowsAffected());
        }
        pending.clear();
        return std::nullopt;
    };
    for (const BatchStatement &entry : batch.statements) {
        if (const auto *insert = std::get_if<InsertStatement>(&entry.statement)) {
            pending.push_back(insert);
            continue;
        }
        if (auto problem = flushInserts())
            return *problem;
        const auto &remove = std::get<DeleteStatement>(entry.statement);
        for (std::size_t start = 0; start < remove.employeeIds.size(); start += idsPerStatement) {
            const std::size_t n = std::min(idsPerStatement, remove.employeeIds.size() - start);
            QSqlError error;
            QSqlQuery *query = deleter.forSize(n, &error);
            if (!query)
                return failure(QStringLiteral("cannot prepare the removal"), error);
            query->bindValue(0, remove.centerId);
            for (std::size_t i = 0; i < n; ++i)
                query->bindValue(int(i + 1), remove.employeeIds[start + i]);
            if (!query->exec())
                return failure(QStringLiteral("cannot remove employees"), query->lastError());
            result.removed += std::max(0, query->numRowsAffected());
        }
    }
    if (auto problem = flushInserts())
        return *problem;
    if (!transaction.commit())
        return failure(QStringLiteral("cannot commit the batch"), m_db.lastError());
    return result;
}

std::variant<bool, StoreFailure> EmployeeStore::isEmpty()
{
    QSqlQuery query(m_db);
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
    Transaction transaction(m_db);
    if (!transaction.started())
        return failure(QStringLiteral("cannot start a transaction"), m_db.lastError());
    QSqlQuery addEmployee(m_db);
    if (!addEmployee.prepare(QStringLiteral("INSERT INTO employees (ID, name, active) VALUES (?, ?, ?)")))
        return failure(QStringLiteral("cannot prepare the employee insert"), addEmployee.lastError());
    for (const SeedEmployee &employee : employees) {
        addEmployee.bindValue(0, employee.id);
        addEmployee.bindValue(1, employee.name);
        addEmployee.bindValue(2, employee.active);
        if (!addEmployee.exec())
            return failure(QStringLiteral("cannot add employee %1").arg(employee.id), addEmployee.lastError());
    }
    QSqlQuery assign(m_db);
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
        return failure(QStringLiteral("cannot commit the sample data"), m_db.lastError());
    return std::nullopt;
}

} // namespace centeremp::server
