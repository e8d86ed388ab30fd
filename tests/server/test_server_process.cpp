#include "test_server_process.h"

#include "test_application.h"

#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

namespace centeremp::servertest {

namespace {

constexpr int startWaitMs = 10000;
constexpr int listeningLineWaitMs = 20000;
constexpr int readyPollMs = 100;
constexpr int exitAfterFailureWaitMs = 1000;
constexpr int stopWaitMs = 15000;
constexpr int killWaitMs = 5000;
constexpr int runToExitWaitMs = 20000;

QString serverProgram() { return QStringLiteral(CENTEREMP_BIN_DIR "/centeremp-server"); }

}  // namespace

ServerProcess::~ServerProcess() {
    if (process_ && process_->state() != QProcess::NotRunning) stop();
}

bool ServerProcess::start(const QStringList& arguments) {
    ensureApplication();
    process_ = std::make_unique<QProcess>();
    process_->setStandardErrorFile(logDir_.filePath(u"stderr.log"_qs), QIODevice::Append);
    process_->start(serverProgram(), arguments + QStringList{u"--listen"_qs, u"127.0.0.1:0"_qs});
    if (!process_->waitForStarted(startWaitMs)) {
        ADD_FAILURE() << "cannot start " << serverProgram().toStdString() << ": "
                      << process_->errorString().toStdString();
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (!process_->canReadLine() && process_->state() == QProcess::Running && timer.elapsed() < listeningLineWaitMs)
        process_->waitForReadyRead(readyPollMs);
    const QByteArray line = process_->readLine().trimmed();
    const QByteArray prefix =
        line.startsWith("listening on https:") ? "listening on https://127.0.0.1:" : "listening on http://127.0.0.1:";
    if (!line.startsWith(prefix)) {
        process_->waitForFinished(exitAfterFailureWaitMs);
        ADD_FAILURE() << "the server did not report where it listens; first line \"" << line.toStdString()
                      << "\"; stderr:\n"
                      << standardError().toStdString();
        return false;
    }
    bool ok = false;
    port_ = quint16(line.sliced(prefix.size()).toUInt(&ok));
    url_ = QString::fromLatin1(line.sliced(strlen("listening on ")));
    if (!ok || port_ == 0) {
        ADD_FAILURE() << "bad port in \"" << line.toStdString() << "\"";
        return false;
    }
    return true;
}

int ServerProcess::stop(bool interrupt) {
    if (!process_) return -1;
    if (process_->state() != QProcess::NotRunning) {
        if (interrupt)
            ::kill(pid_t(process_->processId()), SIGINT);
        else
            process_->terminate();
        if (!process_->waitForFinished(stopWaitMs)) {
            process_->kill();
            process_->waitForFinished(killWaitMs);
            return -1;
        }
    }
    return process_->exitStatus() == QProcess::NormalExit ? process_->exitCode() : -1;
}

void ServerProcess::terminate() {
    if (process_ && process_->state() != QProcess::NotRunning) process_->terminate();
}

void ServerProcess::kill() {
    if (!process_ || process_->state() == QProcess::NotRunning) return;
    process_->kill();
    process_->waitForFinished(killWaitMs);
}

QByteArray ServerProcess::standardError() {
    QFile log(logDir_.filePath(u"stderr.log"_qs));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

int runServerToExit(const QStringList& arguments, QByteArray* standardError, QByteArray* standardOutput,
                    const QByteArray& standardInput) {
    ensureApplication();
    QProcess process;
    process.start(serverProgram(), arguments);
    process.write(standardInput);
    process.closeWriteChannel();
    if (!process.waitForFinished(runToExitWaitMs)) {
        process.kill();
        process.waitForFinished(killWaitMs);
        return -1;
    }
    if (standardError) *standardError = process.readAllStandardError();
    if (standardOutput) *standardOutput = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

}  // namespace centeremp::servertest
