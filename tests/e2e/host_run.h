#pragma once

// centeremp-host as the operator cycle tests run it: a script on standard input, and what the
// host printed.

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

struct HostRun {
    int exitCode = -1;
    QStringList lines;
    QByteArray errors;
    std::vector<QJsonObject> dumps;
    QJsonObject lastDump() const { return dumps.empty() ? QJsonObject() : dumps.back(); }
};

// Runs centeremp-host with a script on standard input, with a registration file of its own and
// the environment given added to this one; a null centre or server is not passed.
HostRun runHost(const QString& center, const QString& server, const QString& script,
                const std::vector<std::pair<QString, QString>>& extraEnvironment = {});
