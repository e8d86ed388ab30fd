#include "host_run.h"

#include <gtest/gtest.h>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

HostRun runHost(const QString& center, const QString& server, const QString& script,
                const std::vector<std::pair<QString, QString>>& extraEnvironment) {
    static QTemporaryDir registry;
    QProcess host;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : extraEnvironment) environment.insert(name, value);
    environment.insert(QStringLiteral("CENTEREMP_REGISTRY"), registry.filePath(QStringLiteral("registry.ini")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    host.setProcessEnvironment(environment);
    QStringList arguments;
    if (!center.isNull()) arguments << QStringLiteral("--center") << center;
    if (!server.isNull()) arguments << QStringLiteral("--server") << server;
    arguments << QStringLiteral("--script") << QStringLiteral("-");
    host.start(QStringLiteral(CENTEREMP_BIN_DIR "/centeremp-host"), arguments);
    host.write(script.toUtf8());
    host.closeWriteChannel();
    HostRun run;
    if (!host.waitForFinished(120000)) {
        host.kill();
        ADD_FAILURE() << "the host did not finish";
        return run;
    }
    run.exitCode = host.exitCode();
    run.errors = host.readAllStandardError();
    for (const QString& line : QString::fromUtf8(host.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
        run.lines << line;
        if (line.startsWith(u'{')) run.dumps.push_back(QJsonDocument::fromJson(line.toUtf8()).object());
    }
    return run;
}
