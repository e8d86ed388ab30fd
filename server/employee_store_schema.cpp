// EmployeeStore: connecting, and the tables it needs.

#include "server/employee_store.h"
#include "server/postgres_driver.h"
#include "server/store_queries.h"

#include <span>

namespace centeremp::server {

namespace {

const char* const sqliteSchema[] = {
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
    "CREATE TABLE IF NOT EXISTS centers ("
    " ID INTEGER PRIMARY KEY CHECK (ID BETWEEN -2147483648 AND 2147483647),"
    " name TEXT NOT NULL CHECK (length(trim(name)) > 0))",
    "CREATE TABLE IF NOT EXISTS operators ("
    " name TEXT PRIMARY KEY,"
    " passwordHash TEXT NOT NULL,"
    " allCentres INTEGER NOT NULL CHECK (allCentres IN (0, 1)))",
    "CREATE TABLE IF NOT EXISTS operatorCentres ("
    " operatorName TEXT NOT NULL REFERENCES operators(name) ON DELETE CASCADE,"
    " centerID INTEGER NOT NULL REFERENCES centers(ID),"
    " PRIMARY KEY (operatorName, centerID))",
    "CREATE TABLE IF NOT EXISTS assignment_log ("
    // Without AUTOINCREMENT: rows are never deleted, so new ones always get higher numbers.
    " seq INTEGER PRIMARY KEY,"
    " loggedAt TEXT NOT NULL,"
    " operatorName TEXT NOT NULL,"
    " remoteAddress TEXT NOT NULL,"
    " centerID INTEGER NOT NULL,"
    " employeeID INTEGER NOT NULL,"
    " change TEXT NOT NULL CHECK (change IN ('add', 'remove')),"
    " outcome TEXT NOT NULL CHECK (outcome IN ('applied', 'no-op')))",
    // What was done stays on record: rows are added, never changed or taken away.
    "CREATE TRIGGER IF NOT EXISTS assignment_log_no_update BEFORE UPDATE ON assignment_log"
    " BEGIN SELECT RAISE(ABORT, 'assignment_log is append-only'); END",
    "CREATE TRIGGER IF NOT EXISTS assignment_log_no_delete BEFORE DELETE ON assignment_log"
    " BEGIN SELECT RAISE(ABORT, 'assignment_log is append-only'); END",
};

// The trigger that keeps EmployeeListVersion (below), written again by a server that finds it
// missing or switched off.
constexpr const char* dropListTrigger = "DROP TRIGGER IF EXISTS employee_list_changed ON employees";
constexpr const char* createListTrigger =
    "CREATE TRIGGER employee_list_changed AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON employees"
    " FOR EACH STATEMENT EXECUTE FUNCTION note_employee_list_change()";

// The bound time carries its UTC offset, so a column with a time zone stores the right
// instant whatever the session's time zone is.
const char* const postgresSchema[] = {
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
    // Which transaction last changed the employees table, kept by a trigger in that same
    // transaction: a server holding the list as of that transaction knows it still holds
    // exactly what the table holds. Transaction IDs with their epoch are never used twice.
    "CREATE TABLE IF NOT EXISTS EmployeeListVersion ("
    " onlyRow BOOLEAN PRIMARY KEY DEFAULT TRUE CHECK (onlyRow),"
    " changedBy BIGINT NOT NULL)",
    "INSERT INTO EmployeeListVersion (changedBy) VALUES (txid_current()) ON CONFLICT DO NOTHING",
    // The function keeps this session's search_path, so it finds its table whatever the
    // session that changes the employees has set.
    "CREATE OR REPLACE FUNCTION note_employee_list_change() RETURNS trigger LANGUAGE plpgsql"
    " SET search_path FROM CURRENT AS"
    " 'BEGIN UPDATE EmployeeListVersion SET changedBy = txid_current(); RETURN NULL; END'",
    dropListTrigger,
    createListTrigger,
    "CREATE TABLE IF NOT EXISTS centers ("
    " ID INTEGER PRIMARY KEY,"
    " name TEXT NOT NULL CHECK (length(trim(name)) > 0))",
    "CREATE TABLE IF NOT EXISTS operators ("
    " name TEXT PRIMARY KEY,"
    " passwordHash TEXT NOT NULL,"
    " allCentres BOOLEAN NOT NULL)",
    "CREATE TABLE IF NOT EXISTS operatorCentres ("
    " operatorName TEXT NOT NULL REFERENCES operators(name) ON DELETE CASCADE,"
    " centerID INTEGER NOT NULL REFERENCES centers(ID),"
    " PRIMARY KEY (operatorName, centerID))",
    // No CHECK on change and outcome: PostgreSQL reads a table's checks afresh for every
    // statement that writes it, a cost each commit would pay; only the server writes them.
    "CREATE TABLE IF NOT EXISTS assignment_log ("
    " seq BIGSERIAL PRIMARY KEY,"
    " loggedAt TIMESTAMP WITH TIME ZONE NOT NULL,"
    " operatorName TEXT NOT NULL,"
    " remoteAddress TEXT NOT NULL,"
    " centerID INTEGER NOT NULL,"
    " employeeID INTEGER NOT NULL,"
    " change TEXT NOT NULL,"
    " outcome TEXT NOT NULL)",
    // What was done stays on record: rows are added, never changed or taken away.
    "CREATE OR REPLACE FUNCTION refuse_assignment_log_change() RETURNS trigger LANGUAGE plpgsql AS"
    " 'BEGIN RAISE EXCEPTION ''assignment_log is append-only''; END'",
    "DROP TRIGGER IF EXISTS assignment_log_append_only ON assignment_log",
    "CREATE TRIGGER assignment_log_append_only BEFORE UPDATE OR DELETE OR TRUNCATE ON assignment_log"
    " FOR EACH STATEMENT EXECUTE FUNCTION refuse_assignment_log_change()",
};

// A database from before centres had a table of their own gets one with every centre that has
// an assignment, so that what worked before still works.
const char* const fillCentres =
    "INSERT INTO centers (ID, name) SELECT DISTINCT CenterID, 'Centre ' || CenterID FROM CenterEmployeeCrossReference";

// Which migrations a database has had: one row, the number of the last. A database without the
// table has had none.
const char* const sqliteVersionTable =
    "CREATE TABLE IF NOT EXISTS schema_version ("
    " onlyRow INTEGER PRIMARY KEY CHECK (onlyRow = 1),"
    " version INTEGER NOT NULL)";
const char* const postgresVersionTable =
    "CREATE TABLE IF NOT EXISTS schema_version ("
    " onlyRow BOOLEAN PRIMARY KEY DEFAULT TRUE CHECK (onlyRow),"
    " version INTEGER NOT NULL)";

// Two servers starting on one PostgreSQL database migrate it one after the other: the second
// finds the work done. (A number of this program's own for pg_advisory_xact_lock.)
constexpr qint64 migrationLock = 0x43454d50;  // "CEMP"

std::optional<StoreFailure> runStatements(QSqlQuery& query, std::span<const char* const> statements,
                                          const QString& what) {
    for (const char* statement : statements) {
        if (!query.exec(QString::fromLatin1(statement))) return failure(what, query.lastError());
    }
    return std::nullopt;
}

// 1: the tables as they were before the schema had versions. On a database made then they are
// all there, and this changes nothing but the triggers' functions, written again as they were.
std::optional<StoreFailure> createFirstTables(QSqlQuery& query, bool postgres) {
    const QString centresPresent =
        postgres ? QStringLiteral("SELECT to_regclass('centers') IS NOT NULL")
                 : QStringLiteral("SELECT COUNT(*) = 1 FROM sqlite_master WHERE lower(name) = 'centers'");
    if (!query.exec(centresPresent) || !query.next())
        return failure(QStringLiteral("cannot look for the centres"), query.lastError());
    const bool hadCentres = query.value(0).toBool();
    query.finish();
    const auto statements =
        postgres ? std::span<const char* const>(postgresSchema) : std::span<const char* const>(sqliteSchema);
    if (auto problem = runStatements(query, statements, QStringLiteral("cannot create the tables"))) return problem;
    if (!hadCentres && !query.exec(QString::fromLatin1(fillCentres)))
        return failure(QStringLiteral("cannot list the centres that have assignments"), query.lastError());
    return std::nullopt;
}

// The migrations in order: the one at index i takes a database from version i to version i + 1,
// in one transaction with the new version number. A change to the schema is a new one at the
// end; one that has shipped is never changed.
using Migration = std::optional<StoreFailure> (*)(QSqlQuery& query, bool postgres);
constexpr Migration migrations[] = {
    &createFirstTables,
};

// Another process (a backup, an operator's sqlite3 shell) may hold the file briefly.
constexpr auto sqliteBusyTimeout = "QSQLITE_BUSY_TIMEOUT=5000";

}  // namespace

std::optional<StoreFailure> EmployeeStore::open() {
    if (!db_.isValid()) {
        if (isPostgres()) {
            db_ = QSqlDatabase::addDatabase(new PostgresDriver, connectionName_);
        } else {
            if (!QSqlDatabase::isDriverAvailable(u"QSQLITE"_qs))
                return StoreFailure{QStringLiteral("the Qt Sql driver QSQLITE is not installed")};
            db_ = QSqlDatabase::addDatabase(u"QSQLITE"_qs, connectionName_);
        }
        configureConnection();
    }
    if (!db_.isOpen() && !db_.open())
        return failure(QStringLiteral("cannot open the %1").arg(address_.describe()), db_.lastError());
    if (auto problem = isPostgres() ? configurePostgres() : configureSqlite()) return problem;
    return createSchema();
}

void EmployeeStore::configureConnection() {
    if (!isPostgres()) {
        db_.setDatabaseName(address_.sqlitePath);
        db_.setConnectOptions(QString::fromLatin1(sqliteBusyTimeout));
        return;
    }
    if (!address_.host.isEmpty()) db_.setHostName(address_.host);
    if (address_.port > 0) db_.setPort(address_.port);
    if (!address_.user.isEmpty()) db_.setUserName(address_.user);
    if (!address_.password.isEmpty()) db_.setPassword(address_.password);
    db_.setDatabaseName(address_.databaseName);
    db_.setConnectOptions(address_.connectOptions);
}

std::optional<StoreFailure> EmployeeStore::configurePostgres() {
    // Each statement is prepared once and runs thousands of times with a plan that fits every
    // value; planning it afresh for each execution's values cost more than running it. And
    // none of them runs long enough to gain from compiling it, which took longer than running.
    QSqlQuery setting(db_);
    if (!setting.exec(QStringLiteral("SET plan_cache_mode = force_generic_plan")) ||
        !setting.exec(QStringLiteral("SET jit = off")))
        return failure(QStringLiteral("cannot set how statements are planned"), setting.lastError());
    return std::nullopt;
}

std::optional<StoreFailure> EmployeeStore::configureSqlite() {
    QSqlQuery pragma(db_);
    if (!pragma.exec(QStringLiteral("PRAGMA foreign_keys = ON")))
        return failure(QStringLiteral("cannot enable foreign keys"), pragma.lastError());
    // Readers and the one writer then never wait for each other: a feed is served while a
    // large batch is being written.
    if (!pragma.exec(QStringLiteral("PRAGMA journal_mode = WAL")))
        return failure(QStringLiteral("cannot switch to write-ahead logging"), pragma.lastError());
    pragma.finish();
    return std::nullopt;
}

int EmployeeStore::latestSchemaVersion() { return int(std::size(migrations)); }

std::variant<int, StoreFailure> EmployeeStore::schemaVersion() {
    QSqlQuery query(db_);
    const QString present =
        isPostgres() ? QStringLiteral("SELECT to_regclass('schema_version') IS NOT NULL")
                     : QStringLiteral("SELECT COUNT(*) = 1 FROM sqlite_master WHERE name = 'schema_version'");
    if (!query.exec(present) || !query.next())
        return failure(QStringLiteral("cannot look for the schema's version"), query.lastError());
    if (!query.value(0).toBool()) return 0;
    if (!query.exec(QStringLiteral("SELECT version FROM schema_version")))
        return failure(QStringLiteral("cannot read the schema's version"), query.lastError());
    return query.next() ? query.value(0).toInt() : 0;
}

std::optional<StoreFailure> EmployeeStore::ping() {
    auto found = schemaVersion();
    if (auto* problem = std::get_if<StoreFailure>(&found)) return *problem;
    return std::nullopt;
}

std::optional<StoreFailure> EmployeeStore::createSchema() {
    // Creating, even "if not exists", takes locks that wait for every writer; a worker that
    // connects while a large batch runs must not, so only a database behind this server's
    // version is changed, and reading the version takes no lock.
    auto found = schemaVersion();
    if (auto* problem = std::get_if<StoreFailure>(&found)) return *problem;
    const int version = std::get<int>(found);
    schemaChange_ = {version, version};
    if (version > latestSchemaVersion()) return newerSchema(version);
    if (version < latestSchemaVersion()) {
        if (auto problem = migrate()) return problem;
    }
    if (isPostgres()) {
        if (auto problem = restoreListTrigger()) return problem;
    }
    // Tables made by someone else must still have the columns this server reads and writes.
    QSqlQuery query(db_);
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

// PostgreSQL: a server keeps the employee list while EmployeeListVersion says it is unchanged;
// a trigger dropped or switched off would let it serve a list that changed, so it is put back.
std::optional<StoreFailure> EmployeeStore::restoreListTrigger() {
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM pg_trigger WHERE tgname = 'employee_list_changed' "
                                   "AND tgrelid = to_regclass('employees') AND tgenabled <> 'D')")) ||
        !query.next())
        return failure(QStringLiteral("cannot look for the employee list's trigger"), query.lastError());
    if (query.value(0).toBool()) return std::nullopt;
    query.finish();
    Transaction transaction(db_, Transaction::Mode::Write);
    if (auto problem = transaction.startFailure()) return problem;
    const char* const statements[] = {dropListTrigger, createListTrigger};
    if (auto problem = runStatements(query, statements, QStringLiteral("cannot restore the employee list's trigger")))
        return problem;
    if (!transaction.commit())
        return failure(QStringLiteral("cannot restore the employee list's trigger"), db_.lastError());
    return std::nullopt;
}

StoreFailure EmployeeStore::newerSchema(int version) {
    return StoreFailure{QStringLiteral("the database's schema is version %1, newer than this server knows (version "
                                       "%2); run a server of the version that upgraded it, or a later one")
                            .arg(version)
                            .arg(latestSchemaVersion())};
}

// Each migration in a transaction of its own, with the version it reaches: a failure leaves the
// database at the last version reached whole.
std::optional<StoreFailure> EmployeeStore::migrate() {
    for (;;) {
        Transaction transaction(db_, Transaction::Mode::Write);
        if (auto problem = transaction.startFailure()) return problem;
        QSqlQuery query(db_);
        if (isPostgres() && !query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(migrationLock)))
            return failure(QStringLiteral("cannot wait for another server's upgrade"), query.lastError());
        // Read again inside the transaction: another server may have migrated meanwhile.
        auto found = schemaVersion();
        if (auto* problem = std::get_if<StoreFailure>(&found)) return *problem;
        const int version = std::get<int>(found);
        if (version > latestSchemaVersion()) return newerSchema(version);
        if (version == latestSchemaVersion()) return std::nullopt;
        if (auto problem = migrations[version](query, isPostgres())) return problem;
        const QString what = QStringLiteral("cannot record the schema's version %1").arg(version + 1);
        if (!query.exec(QString::fromLatin1(isPostgres() ? postgresVersionTable : sqliteVersionTable)))
            return failure(what, query.lastError());
        query.prepare(isPostgres() ? QStringLiteral("INSERT INTO schema_version (version) VALUES (?) "
                                                    "ON CONFLICT (onlyRow) DO UPDATE SET version = excluded.version")
                                   : QStringLiteral("INSERT INTO schema_version (onlyRow, version) VALUES (1, ?) "
                                                    "ON CONFLICT (onlyRow) DO UPDATE SET version = excluded.version"));
        query.addBindValue(version + 1);
        if (!query.exec()) return failure(what, query.lastError());
        query.finish();
        if (!transaction.commit()) return failure(what, db_.lastError());
        schemaChange_.to = version + 1;
    }
}

}  // namespace centeremp::server
