#include "server/postgres_driver.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <QVariant>

#include <libpq-fe.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace centeremp::server {

namespace {

// Type OIDs of the built-in types read as numbers or truth values; fixed by PostgreSQL.
constexpr Oid boolOid = 16;
constexpr Oid int8Oid = 20;
constexpr Oid int2Oid = 21;
constexpr Oid int4Oid = 23;
constexpr Oid float4Oid = 700;
constexpr Oid float8Oid = 701;

QMetaType metaTypeOf(Oid type) {
    switch (type) {
    case boolOid: return QMetaType::fromType<bool>();
    case int2Oid:
    case int4Oid: return QMetaType::fromType<int>();
    case int8Oid: return QMetaType::fromType<qlonglong>();
    case float4Oid:
    case float8Oid: return QMetaType::fromType<double>();
    default: return QMetaType::fromType<QString>();
    }
}

template <typename Number>
QVariant number(const char* text, int length) {
    Number value{};
    const auto [end, error] = std::from_chars(text, text + length, value);
    if (error != std::errc() || end != text + length) return QString::fromUtf8(text, length);
    return QVariant::fromValue(value);
}

// The text PostgreSQL reads a bound value from; times go as UTC with their offset, so a column
// with a time zone gets the right instant whatever the session's time zone is.
QByteArray parameterText(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool: return value.toBool() ? "true" : "false";
    case QMetaType::QDateTime: return value.toDateTime().toUTC().toString(Qt::ISODateWithMs).toUtf8();
    case QMetaType::QByteArray: return value.toByteArray();
    default: return value.toString().toUtf8();
    }
}

QSqlError makeError(const QString& doing, PGconn* connection, const PGresult* result, QSqlError::ErrorType type) {
    QString message = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(connection)).trimmed();
    if (message.isEmpty() && connection) message = QString::fromUtf8(PQerrorMessage(connection)).trimmed();
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    return QSqlError(doing, message, type, state ? QString::fromLatin1(state) : QString());
}

}  // namespace

QByteArray numberedPlaceholders(const QString& query) {
    const QByteArray text = query.toUtf8();
    QByteArray numbered;
    numbered.reserve(text.size() + 8);
    int count = 0;
    for (qsizetype at = 0; at < text.size();) {
        const char c = text[at];
        const char next = at + 1 < text.size() ? text[at + 1] : '\0';
        // Where a quoted name or text, or a comment, that starts here ends: it is copied as it is.
        qsizetype end = -1;
        if (c == '\'' || c == '"') {
            end = text.indexOf(c, at + 1);  // a doubled quote ends one text and starts the next
            end = end < 0 ? text.size() : end + 1;
        } else if (c == '-' && next == '-') {
            end = text.indexOf('\n', at);
            end = end < 0 ? text.size() : end + 1;
        } else if (c == '/' && next == '*') {
            end = text.indexOf("*/", at + 2);
            end = end < 0 ? text.size() : end + 2;
        }
        if (end >= 0) {
            numbered += text.sliced(at, end - at);
            at = end;
            continue;
        }
        if (c == '?')
            numbered += '$' + QByteArray::number(++count);
        else
            numbered += c;
        ++at;
    }
    return numbered;
}

PostgresDriver::~PostgresDriver() { close(); }

bool PostgresDriver::hasFeature(DriverFeature feature) const {
    switch (feature) {
    case Transactions:
    case QuerySize:
    case PreparedQueries:
    case PositionalPlaceholders:
    case Unicode: return true;
    default: return false;
    }
}

bool PostgresDriver::open(const QString& db, const QString& user, const QString& password, const QString& host,
                          int port, const QString& options) {
    close();
    std::vector<QByteArray> keys, values;
    const auto set = [&](const char* key, const QString& value) {
        if (value.isEmpty()) return;
        keys.emplace_back(key);
        values.push_back(value.toUtf8());
    };
    set("host", host);
    set("port", port > 0 ? QString::number(port) : QString());
    set("user", user);
    set("password", password);
    set("dbname", db);
    set("client_encoding", QStringLiteral("UTF8"));
    for (const QString& option : options.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype equals = option.indexOf(u'=');
        if (equals <= 0) continue;
        keys.push_back(option.first(equals).trimmed().toUtf8());
        values.push_back(option.sliced(equals + 1).trimmed().toUtf8());
    }
    std::vector<const char*> keyPointers, valuePointers;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        keyPointers.push_back(keys[i].constData());
        valuePointers.push_back(values[i].constData());
    }
    keyPointers.push_back(nullptr);
    valuePointers.push_back(nullptr);

    connection_ = PQconnectdbParams(keyPointers.data(), valuePointers.data(), 0);
    if (PQstatus(connection_) != CONNECTION_OK) {
        setLastError(makeError(QStringLiteral("cannot connect"), connection_, nullptr, QSqlError::ConnectionError));
        PQfinish(connection_);
        connection_ = nullptr;
        setOpenError(true);
        return false;
    }
    // Notices ("table exists, skipping") are not errors; nobody reads the server's stderr for them.
    PQsetNoticeProcessor(
        connection_, [](void*, const char*) {}, nullptr);
    ++generation_;
    setOpen(true);
    setOpenError(false);
    return true;
}

void PostgresDriver::close() {
    if (connection_) PQfinish(connection_);
    connection_ = nullptr;
    setOpen(false);
    setOpenError(false);
}

bool PostgresDriver::isOpen() const {
    return QSqlDriver::isOpen() && connection_ && PQstatus(connection_) == CONNECTION_OK;
}

QSqlResult* PostgresDriver::createResult() const { return new PostgresResult(this); }

QByteArray PostgresDriver::nextStatementName() const { return "centeremp_" + QByteArray::number(++statements_); }

bool PostgresDriver::runCommand(const char* command, const char* expectedStatus) {
    if (!connection_) return false;
    PGresult* result = PQexec(connection_, command);
    // An aborted transaction answers COMMIT with ROLLBACK: that is a failure, not a commit.
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK && std::strcmp(PQcmdStatus(result), expectedStatus) == 0;
    if (!ok) {
        const QString doing = QStringLiteral("cannot %1").arg(QString::fromLatin1(command));
        setLastError(PQresultStatus(result) == PGRES_COMMAND_OK
                         ? QSqlError(doing, QStringLiteral("PostgreSQL answered %1").arg(PQcmdStatus(result)),
                                     QSqlError::TransactionError)
                         : makeError(doing, connection_, result, QSqlError::TransactionError));
    }
    PQclear(result);
    return ok;
}

bool PostgresDriver::beginTransaction() { return runCommand("BEGIN", "BEGIN"); }
bool PostgresDriver::commitTransaction() { return runCommand("COMMIT", "COMMIT"); }
bool PostgresDriver::rollbackTransaction() { return runCommand("ROLLBACK", "ROLLBACK"); }

PostgresResult::PostgresResult(const PostgresDriver* driver) : QSqlResult(driver) {}

PostgresResult::~PostgresResult() {
    clearResult();
    deallocate();
}

const PostgresDriver* PostgresResult::postgres() const { return static_cast<const PostgresDriver*>(driver()); }

void PostgresResult::clearResult() {
    if (result_) PQclear(result_);
    result_ = nullptr;
}

// Frees the prepared statement on the server, if the connection it was made on is still there.
void PostgresResult::deallocate() {
    const PostgresDriver* owner = postgres();
    if (!statementName_.isEmpty() && owner && owner->connection() && owner->generation() == statementGeneration_)
        PQclear(PQexec(owner->connection(), "DEALLOCATE " + statementName_));
    statementName_.clear();
}

bool PostgresResult::take(PGresult* result, const QString& doing) {
    clearResult();
    setAt(QSql::BeforeFirstRow);
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        setLastError(makeError(doing, postgres()->connection(), result, QSqlError::StatementError));
        PQclear(result);
        setActive(false);
        return false;
    }
    result_ = result;
    setSelect(status == PGRES_TUPLES_OK);
    setActive(true);
    return true;
}

bool PostgresResult::reset(const QString& query) {
    const PostgresDriver* owner = postgres();
    if (!owner || !owner->connection()) return false;
    return take(PQexec(owner->connection(), query.toUtf8().constData()), QStringLiteral("cannot run the query"));
}

bool PostgresResult::prepare(const QString& query) {
    const PostgresDriver* owner = postgres();
    if (!owner || !owner->connection()) return false;
    clearResult();
    deallocate();
    const QByteArray name = owner->nextStatementName();
    PGresult* result =
        PQprepare(owner->connection(), name.constData(), numberedPlaceholders(query).constData(), 0, nullptr);
    const bool prepared = PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!prepared)
        setLastError(makeError(QStringLiteral("cannot prepare the query"), owner->connection(), result,
                               QSqlError::StatementError));
    PQclear(result);
    if (!prepared) return false;
    statementName_ = name;
    statementGeneration_ = owner->generation();
    return true;
}

bool PostgresResult::exec() {
    const PostgresDriver* owner = postgres();
    if (!owner || !owner->connection() || statementName_.isEmpty()) {
        setLastError(QSqlError(QStringLiteral("cannot run the query"), QStringLiteral("no prepared statement"),
                               QSqlError::StatementError));
        return false;
    }
    const QList<QVariant> values = boundValues();
    std::vector<QByteArray> texts(std::size_t(values.size()));
    std::vector<const char*> pointers(std::size_t(values.size()), nullptr);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const QVariant& value = values[qsizetype(i)];
        if (!value.isValid() || value.isNull()) continue;
        texts[i] = parameterText(value);
        pointers[i] = texts[i].constData();
    }
    return take(PQexecPrepared(owner->connection(), statementName_.constData(), int(pointers.size()), pointers.data(),
                               nullptr, nullptr, 0),
                QStringLiteral("cannot run the query"));
}

bool PostgresResult::fetch(int row) {
    if (!result_ || row < 0 || row >= PQntuples(result_)) return false;
    setAt(row);
    return true;
}

bool PostgresResult::fetchFirst() { return fetch(0); }

bool PostgresResult::fetchLast() { return result_ && fetch(PQntuples(result_) - 1); }

bool PostgresResult::isNull(int field) {
    return !result_ || at() < 0 || field < 0 || field >= PQnfields(result_) || PQgetisnull(result_, at(), field);
}

QVariant PostgresResult::data(int field) {
    if (!result_ || at() < 0 || field < 0 || field >= PQnfields(result_)) return {};
    const Oid type = PQftype(result_, field);
    if (PQgetisnull(result_, at(), field)) return QVariant(metaTypeOf(type));
    const char* text = PQgetvalue(result_, at(), field);
    const int length = PQgetlength(result_, at(), field);
    switch (type) {
    case boolOid: return text[0] == 't';
    case int2Oid:
    case int4Oid: return number<int>(text, length);
    case int8Oid: return number<qlonglong>(text, length);
    case float4Oid:
    case float8Oid: return number<double>(text, length);
    default: return QString::fromUtf8(text, length);
    }
}

int PostgresResult::size() { return result_ && isSelect() ? PQntuples(result_) : -1; }

int PostgresResult::numRowsAffected() {
    if (!result_) return -1;
    const char* affected = PQcmdTuples(result_);
    return *affected ? std::atoi(affected) : -1;
}

QSqlRecord PostgresResult::record() const {
    QSqlRecord fields;
    if (!result_) return fields;
    for (int i = 0; i < PQnfields(result_); ++i)
        fields.append(QSqlField(QString::fromUtf8(PQfname(result_, i)), metaTypeOf(PQftype(result_, i))));
    return fields;
}

void PostgresResult::detachFromResultSet() { clearResult(); }

}  // namespace centeremp::server
