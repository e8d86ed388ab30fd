#pragma once

// What the load generator runs against: its options, fresh databases and server processes.

#include "server/harness/scratch_database.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace centeremp::loadtest {

struct Options {
    QString serverProgram;
    QString postgresUri;  // an existing database on the cluster; ours are created beside it
    QList<int> levels{10, 50, 200};
    int seconds = 8;
    QStringList serverArguments;  // passed to every instance, e.g. --threads 4
    QStringList phases{u"operators"_qs, u"crowd"_qs, u"batches"_qs};
    bool throughNginx = false;  // the operators' levels again through nginx (TLS, round robin)
};

// The operators' world: this many employees, and centres with some of them assigned.
constexpr int operatorEmployees = 1000;
constexpr int operatorCentres = 100;
constexpr qint32 largest = 32767;

// Every simulated operator signs in as an operator of their own, who may use every centre; all
// share one password. The Authorization header of operator number.
constexpr int operatorAccounts = 1000;
QByteArray signInAs(int number);

// Says what went wrong and ends the program.
[[noreturn]] void fail(const QString& message);

// A fresh PostgreSQL database next to the one the URI names, or a SQLite file in a folder of
// our own when the URI is empty; the program ends when it cannot be made.
class Database : public harness::ScratchDatabase {
public:
    Database(const QString& adminUri, const QString& name);
    // employees active employees, the operator centres and the operators; with assignSome,
    // twenty employees on each operator centre.
    void seed(int employees, bool assignSome);
};

// centeremp-server on a free loopback port, over one database; stopped when destroyed.
class ServerInstance {
public:
    ServerInstance(const Options& options, const QString& database);
    ~ServerInstance();
    quint16 port() const { return port_; }
    // The most memory the process has held so far (VmHWM), in MiB.
    double peakMiB() const { return statusMiB("VmHWM:"); }
    // The memory it holds now (VmRSS), in MiB.
    double residentMiB() const { return statusMiB("VmRSS:"); }

private:
    double statusMiB(const QByteArray& field) const;
    QProcess process_;
    quint16 port_ = 0;
};

}  // namespace centeremp::loadtest
