#pragma once

// A database of its own for one test or one load run, gone afterwards: a SQLite file in a
// temporary folder, or a new PostgreSQL database created next to the one a URI names.

#include "server/database_address.h"

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>

namespace centeremp::harness {

class ScratchDatabase {
public:
    // adminUri: a PostgreSQL database to create the new one beside (and to drop it from), or
    // empty for SQLite. name: the new database's name, or the SQLite file's stem.
    ScratchDatabase(const QString& adminUri, const QString& name);
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    // Why there is no database; empty when there is one.
    const QString& problem() const { return problem_; }
    // The server's --db argument for it, and the same parsed.
    const QString& argument() const { return argument_; }
    const server::DatabaseAddress& address() const { return address_; }

private:
    QString adminExec(const QString& sql);  // why it failed, or empty

    QTemporaryDir dir_;
    QString adminUri_;
    QString name_;
    QString argument_;
    server::DatabaseAddress address_;
    QString problem_;
};

// A Qt connection of its own (under connectionName) to the database at address, opened;
// isOpen() and lastError() say how that went.
QSqlDatabase openConnection(const server::DatabaseAddress& address, const QString& connectionName);

}  // namespace centeremp::harness
