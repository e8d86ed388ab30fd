#include "server/store_queries.h"

namespace centeremp::server {

namespace {

// SQLite's primary result codes for a database that stayed busy or locked past the time-out;
// an extended code carries them in its low byte.
constexpr int sqlitePrimaryCodeMask = 0xFF;
constexpr int sqliteBusy = 5;
constexpr int sqliteLocked = 6;

// SQLite answers SQLITE_BUSY or SQLITE_LOCKED (possibly extended) once its busy time-out has
// passed; PostgreSQL reports lock_not_available or query_canceled for its time-outs.
bool isTimeOut(const QSqlError& error) {
    const QString code = error.nativeErrorCode();
    if (code == u"55P03" || code == u"57014") return true;
    bool numeric = false;
    const int sqliteCode = code.toInt(&numeric) & sqlitePrimaryCodeMask;
    return numeric && (sqliteCode == sqliteBusy || sqliteCode == sqliteLocked);
}

// PostgreSQL's deadlock_detected and serialization_failure.
bool isConflict(const QSqlError& error) {
    const QString code = error.nativeErrorCode();
    return code == u"40P01" || code == u"40001";
}

}  // namespace

StoreFailure failure(const QString& what, const QSqlError& error) {
    return StoreFailure{QStringLiteral("%1: %2").arg(what, error.text()), isTimeOut(error), isConflict(error)};
}

Transaction::Transaction(QSqlDatabase& db, Mode mode) : db_(db) {
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

Transaction::~Transaction() {
    if (active_) db_.rollback();
}

std::optional<StoreFailure> Transaction::startFailure() const {
    if (active_) return std::nullopt;
    return failure(QStringLiteral("cannot start a transaction"), error_);
}

bool Transaction::commit() {
    if (!db_.commit()) return false;  // the destructor rolls back
    active_ = false;
    return true;
}

}  // namespace centeremp::server
