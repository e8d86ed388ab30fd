#include "server/sqlite_backup.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstdio>
#include <memory>

namespace centeremp::server {

namespace {

// As long as a server may hold the write lock for one large batch.
constexpr int busyTimeoutMs = 10000;

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

// Opens a database; its error message when it cannot.
std::variant<Database, QString> open(const QString& path, int flags) {
    sqlite3* handle = nullptr;
    const int result = sqlite3_open_v2(QFile::encodeName(path).constData(), &handle, flags, nullptr);
    Database db(handle);
    if (result != SQLITE_OK)
        return QStringLiteral("cannot open %1: %2")
            .arg(path, QString::fromUtf8(db ? sqlite3_errmsg(db.get()) : "no memory"));
    sqlite3_busy_timeout(db.get(), busyTimeoutMs);
    return db;
}

// SQLite's quick check of a database: empty when it finds nothing wrong.
QString quickCheck(sqlite3* db) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &statement, nullptr) != SQLITE_OK)
        return QString::fromUtf8(sqlite3_errmsg(db));
    QString found;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        const QString line = QString::fromUtf8(text ? text : "");
        if (line != u"ok") found += line + u'\n';
    }
    sqlite3_finalize(statement);
    return found.trimmed();
}

}  // namespace

std::variant<BackupDone, QString> backupSqlite(const QString& source, const QString& target) {
    if (!QFileInfo::exists(source)) return QStringLiteral("there is no database at %1").arg(source);
    if (QFileInfo::exists(target)) return QStringLiteral("%1 exists already: give a new file").arg(target);
    auto from = open(source, SQLITE_OPEN_READONLY);
    if (auto* problem = std::get_if<QString>(&from)) return *problem;
    const QString partial = target + u".partial"_qs;
    QFile::remove(partial);
    QString problem;
    BackupDone done;
    {
        auto to = open(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        if (auto* failed = std::get_if<QString>(&to)) return *failed;
        sqlite3* copy = std::get<Database>(to).get();
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", std::get<Database>(from).get(), "main");
        if (!backup) {
            problem = QString::fromUtf8(sqlite3_errmsg(copy));
        } else {
            // All pages in one step, so writers meanwhile never make it start over.
            int result = SQLITE_OK;
            while ((result = sqlite3_backup_step(backup, -1)) == SQLITE_OK || result == SQLITE_BUSY ||
                   result == SQLITE_LOCKED)
                sqlite3_sleep(50);
            done.pages = sqlite3_backup_pagecount(backup);
            sqlite3_backup_finish(backup);
            if (result != SQLITE_DONE) problem = QString::fromUtf8(sqlite3_errstr(result));
        }
        if (problem.isEmpty()) {
            if (const QString found = quickCheck(copy); !found.isEmpty())
                problem = QStringLiteral("the copy fails SQLite's quick check: %1").arg(found);
        }
        // The copy is left in rollback-journal mode, one file that can be moved anywhere.
        if (problem.isEmpty() &&
            sqlite3_exec(copy, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr) != SQLITE_OK)
            problem = QString::fromUtf8(sqlite3_errmsg(copy));
    }
    if (problem.isEmpty() && !QFile::rename(partial, target))
        problem = QStringLiteral("cannot name the copy %1").arg(target);
    if (!problem.isEmpty()) {
        QFile::remove(partial);
        QFile::remove(partial + u"-journal"_qs);
        return QStringLiteral("backup to %1 failed: %2").arg(target, problem);
    }
    done.bytes = QFileInfo(target).size();
    return done;
}

}  // namespace centeremp::server
