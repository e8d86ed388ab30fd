#pragma once

// A Qt Sql driver for PostgreSQL over libpq's extended protocol. A prepared query is prepared
// once on the server and executed with its values sent apart from the text; a result comes back
// whole and is read in place. (Qt's own driver prepares with SQL PREPARE and runs each
// execution as an EXECUTE statement with the values written into it, which the server has to
// parse, plan and buffer again every time.)

#include <QSqlDriver>
#include <QSqlResult>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace centeremp::server {

class PostgresDriver : public QSqlDriver {
public:
    PostgresDriver() = default;
    ~PostgresDriver() override;

    bool hasFeature(DriverFeature feature) const override;
    // options: further libpq settings as "key=value;key=value".
    bool open(const QString& db, const QString& user, const QString& password, const QString& host, int port,
              const QString& options) override;
    void close() override;
    // False once the server has gone: the connection must then be opened again.
    bool isOpen() const override;
    QSqlResult* createResult() const override;

    bool beginTransaction() override;
    bool commitTransaction() override;
    bool rollbackTransaction() override;

    PGconn* connection() const { return connection_; }
    // Counts the connections made; a prepared statement belongs to one of them.
    int generation() const { return generation_; }
    QByteArray nextStatementName() const;

private:
    bool runCommand(const char* command, const char* expectedStatus);

    PGconn* connection_ = nullptr;
    int generation_ = 0;
    mutable quint64 statements_ = 0;
};

class PostgresResult : public QSqlResult {
public:
    explicit PostgresResult(const PostgresDriver* driver);
    ~PostgresResult() override;

protected:
    QVariant data(int field) override;
    bool isNull(int field) override;
    bool reset(const QString& query) override;
    bool prepare(const QString& query) override;
    bool exec() override;
    bool fetch(int row) override;
    bool fetchFirst() override;
    bool fetchLast() override;
    int size() override;
    int numRowsAffected() override;
    QSqlRecord record() const override;
    void detachFromResultSet() override;

private:
    const PostgresDriver* postgres() const;
    bool take(PGresult* result, const QString& doing);
    void clearResult();
    void deallocate();

    PGresult* result_ = nullptr;
    QByteArray statementName_;  // empty until prepared
    int statementGeneration_ = 0;
};

// Qt's positional placeholders ('?') as PostgreSQL's numbered ones ($1, $2, ...); a '?' in a
// quoted text or name, or in a comment, stays as it is.
QByteArray numberedPlaceholders(const QString& query);

}  // namespace centeremp::server
