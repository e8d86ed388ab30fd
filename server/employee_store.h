#pragma once

#include "server/database_address.h"
#include "server/feed.h"
#include "server/feed_cache.h"
#include "server/sql_batch.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

namespace centeremp::server {

struct StoreFailure {
    QString message;        // for the server's log: may say where the database lives
    bool timedOut = false;  // the database stayed locked or busy longer than we wait
    bool conflict = false;  // lost a deadlock or serialization race: the batch may simply run again
};

struct ApplyResult {
    qint64 assigned = 0;  // pairs that were not there before
    qint64 removed = 0;   // pairs that were there before
    // Statements that changed nothing because the database already held that state when the
    // batch reached the pair (someone else got there first), in statement order: the employee
    // IDs of INSERTs whose pair was there, and of DELETE IDs whose pair was not.
    std::vector<qint32> alreadyAssigned;
    std::vector<qint32> notAssigned;
};

// An INSERT named an employee that cannot be assigned; the batch was not applied.
struct UnassignableEmployee {
    int fieldNumber = 0;
    qint32 employeeId = 0;
    bool exists = false;  // true: the employee exists but is inactive
};

// A batch named a centre that the centres table does not hold; the batch was not applied.
struct UnknownCentre {
    qint32 centerId = 0;
};

// Who a batch is applied for, as the assignment log records it.
struct Actor {
    QString operatorName;  // empty when the server runs without operators
    QString remoteAddress;
};

// An operator who may sign in: the Argon2id hash of the password, and the centres the operator
// may see and change.
struct OperatorAccount {
    QString name;
    QByteArray passwordHash;
    bool allCentres = false;
    std::vector<qint32> centres;  // in ascending order; empty with allCentres
};

struct Centre {
    qint32 id = 0;
    QString name;
};

// One row of the assignment log: one employee of one applied statement.
struct AuditEntry {
    QDateTime at;
    QString operatorName;
    QString remoteAddress;
    qint32 centerId = 0;
    qint32 employeeId = 0;
    bool added = false;    // false: removed
    bool applied = false;  // false: the database already held that state
};

struct SeedEmployee {
    qint32 id = 0;
    QString name;
    bool active = true;
};

struct SeedAssignment {
    qint32 centerId = 0;
    qint32 employeeId = 0;
};

class BatchOutcome;

// The employees and centre assignments, over one Qt Sql connection. Qt Sql connections belong
// to the thread that opened them, so one store is used by one thread only.
class EmployeeStore {
public:
    EmployeeStore(DatabaseAddress address, QString connectionName);
    ~EmployeeStore();
    EmployeeStore(const EmployeeStore&) = delete;
    EmployeeStore& operator=(const EmployeeStore&) = delete;

    // Connects, and brings the schema to this server's version: creates the tables when they
    // are missing, runs the migrations a database made by an older server lacks. Refuses a
    // schema newer than this server knows, naming both versions.
    std::optional<StoreFailure> open();
    // The schema's version this server writes and reads.
    static int latestSchemaVersion();
    // What the last open() found and left: the same version twice when it changed nothing.
    struct SchemaChange {
        int from = 0;
        int to = 0;
    };
    SchemaChange schemaChange() const { return schemaChange_; }
    // Reads the schema's version: the database answers on this connection.
    std::optional<StoreFailure> ping();
    bool isOpen() const;
    void close();

    // The centre's page, the document the control reads; both lists come from one consistent
    // snapshot of the database.
    std::variant<QByteArray, StoreFailure> centerFeed(qint32 centerId);
    // SQLite: a number that changes whenever another connection commits (data_version);
    // PostgreSQL: none, feeds are not kept across connections there.
    std::variant<std::optional<qint64>, StoreFailure> changeCount();
    // PostgreSQL: feeds rendered by any connection of this process are sent again when they
    // were rendered from the same employee list and assignments.
    void shareFeeds(std::shared_ptr<FeedCache> feeds) { feeds_ = std::move(feeds); }

    // Applies every statement in order within one transaction, or nothing. Assigning a pair
    // that exists and removing one that does not change nothing, so a retried batch is harmless.
    // Each run of INSERTs and each DELETE is one set-based statement, whatever its size.
    // Every statement is written to the assignment log in the same transaction, for actor.
    std::variant<ApplyResult, UnassignableEmployee, UnknownCentre, StoreFailure> apply(const Batch& batch,
                                                                                       const QDateTime& now,
                                                                                       const Actor& actor);

    // Centres and operators.
    std::variant<bool, StoreFailure> centreExists(qint32 centerId);
    std::variant<bool, StoreFailure> hasOperators();
    std::variant<std::optional<OperatorAccount>, StoreFailure> operatorAccount(const QString& name);
    std::variant<std::vector<OperatorAccount>, StoreFailure> operators();
    std::optional<StoreFailure> addOperator(const OperatorAccount& account);
    std::variant<bool, StoreFailure> removeOperator(const QString& name);  // false: there was none
    std::variant<std::vector<Centre>, StoreFailure> centres();
    std::optional<StoreFailure> addCentre(const Centre& centre);
    // The assignment log in the order it was written, of one centre or of all.
    std::variant<std::vector<AuditEntry>, StoreFailure> auditLog(std::optional<qint32> centerId);

    // True when neither table has a row.
    std::variant<bool, StoreFailure> isEmpty();
    std::optional<StoreFailure> insertSeed(const std::vector<Centre>& centres,
                                           const std::vector<SeedEmployee>& employees,
                                           const std::vector<SeedAssignment>& assignments, const QDateTime& now);

private:
    bool isPostgres() const { return address_.kind == DatabaseAddress::Kind::Postgres; }
    QVariant timestampValue(const QDateTime& now) const;
    QDateTime timestampFrom(const QVariant& stored) const;

    void configureConnection();
    std::optional<StoreFailure> configurePostgres();
    std::optional<StoreFailure> configureSqlite();
    std::optional<StoreFailure> createSchema();
    std::variant<int, StoreFailure> schemaVersion();  // 0: none recorded
    std::optional<StoreFailure> migrate();
    std::optional<StoreFailure> restoreListTrigger();
    static StoreFailure newerSchema(int version);

    std::variant<QByteArray, StoreFailure> listedFeed(qint32 centerId);
    std::variant<QByteArray, StoreFailure> joinedFeed(qint32 centerId);
    std::variant<QByteArray, StoreFailure> mergedFeed(qint32 centerId);
    std::optional<StoreFailure> readEmployeeList();

    QString idArray(const std::vector<qint32>& ids) const;
    std::variant<std::unordered_map<qint32, bool>, StoreFailure> activeByIds(std::vector<qint32> ids);
    std::optional<std::variant<UnassignableEmployee, StoreFailure>> checkAssignable(const Batch& batch);
    std::optional<std::variant<UnknownCentre, StoreFailure>> checkCentres(const Batch& batch);

    // When a batch is applied and for whom, as its log entries say.
    struct Stamp {
        QVariant timestamp;
        Actor actor;
    };
    // One statement's entries of the assignment log, in statement order, 1 in first for the
    // first entry of its pair.
    struct StatementLog {
        std::vector<qint32> centres, employees, first;
    };
    static StatementLog statementLog(const std::vector<std::pair<qint32, qint32>>& pairs);
    QString withLog(const QString& change, const char* action) const;
    void bindLog(QSqlQuery& query, int first, const StatementLog& log, const QVariant& timestamp,
                 const Actor& actor) const;
    void bindWho(QSqlQuery& query, int first, const QVariant& timestamp, const Actor& actor) const;
    std::optional<StoreFailure> writeLog(const BatchOutcome& outcome, const QVariant& timestamp, const Actor& actor);

    QSqlQuery* boundInsert(const std::vector<std::pair<qint32, qint32>>& pairs, const QVariant& timestamp,
                           const StatementLog& log, const Actor& actor, QSqlError* error);
    std::variant<std::vector<std::pair<qint32, qint32>>, StoreFailure> insertPairs(
        const std::vector<std::pair<qint32, qint32>>& pairs, const Stamp& stamp, const StatementLog& log);
    std::variant<std::vector<qint32>, StoreFailure> deleteIds(qint32 centerId, const std::vector<qint32>& ids,
                                                              const Stamp& stamp, const StatementLog& log);
    std::optional<StoreFailure> applyInserts(std::span<const BatchStatement> run, const Stamp& stamp,
                                             BatchOutcome& outcome);
    std::optional<StoreFailure> applyDelete(const DeleteStatement& remove, const Stamp& stamp, BatchOutcome& outcome);

    std::optional<StoreFailure> insertSeedEmployees(const std::vector<SeedEmployee>& employees);
    std::optional<StoreFailure> insertSeedAssignments(const std::vector<SeedAssignment>& assignments,
                                                      const QDateTime& now);

    // Statements prepared once per connection and reused: a request then costs one round trip
    // per statement instead of a prepare, an execute and a deallocate.
    enum class Prepared {
        Feed,
        FeedAssigned,
        FeedEmployees,
        ListVersion,
        EmployeeList,
        Lookup,
        Insert,
        Delete,
        CentreExists,
        Account,
        Log
    };
    QSqlQuery* prepared(Prepared which, const QString& text, QSqlError* error);

    DatabaseAddress address_;
    QString connectionName_;
    QSqlDatabase db_;
    std::map<Prepared, std::unique_ptr<QSqlQuery>> prepared_;
    SchemaChange schemaChange_;

    // PostgreSQL: the active employees in ID order, as of the transaction that last changed
    // the table; kept for as long as the connection.
    struct EmployeeList {
        qint64 changedBy = 0;
        RenderedEmployees active;
    };
    std::optional<EmployeeList> employeeList_;
    std::shared_ptr<FeedCache> feeds_;
    std::unordered_set<qint32> knownCentres_;  // found in the centres table on this connection
};

}  // namespace centeremp::server
