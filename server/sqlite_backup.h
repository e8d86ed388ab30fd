#pragma once

#include <QString>

#include <variant>

namespace centeremp::server {

struct BackupDone {
    qint64 pages = 0;
    qint64 bytes = 0;
};

// Copies the SQLite database at source to a new file at target with SQLite's online backup,
// page by page within one read transaction: a consistent copy while servers read and write the
// source (in write-ahead-log mode they are not held up). The copy is written beside the target
// and renamed onto it only once it is whole and passes SQLite's quick check, so a failed backup
// leaves no file under the target's name. An existing target is refused, never overwritten.
std::variant<BackupDone, QString> backupSqlite(const QString& source, const QString& target);

}  // namespace centeremp::server
