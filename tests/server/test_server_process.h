#pragma once

// The built centeremp-server as a child process of a test.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace centeremp::servertest {

class ServerProcess {
public:
    ~ServerProcess();
    // Starts centeremp-server with these arguments plus --listen 127.0.0.1:0 and waits for
    // its "listening on" line. False (with a gtest failure) when it does not come.
    bool start(const QStringList& arguments);
    quint16 port() const { return port_; }
    QString url() const { return url_; }
    // SIGTERM (or SIGINT), then waits; returns the exit code, -1 when it had to be killed.
    int stop(bool interrupt = false);
    // Sends SIGTERM and returns at once, for a test that watches what the server does while it stops.
    void terminate();
    // SIGKILL, as a power cut or the out-of-memory killer would end it, and waits for the end.
    void kill();
    QByteArray standardError();

private:
    std::unique_ptr<QProcess> process_;
    quint16 port_ = 0;
    QString url_;
    // Standard error goes to a file: a pipe nobody reads while the test runs would fill with
    // request lines and hold the server up.
    QTemporaryDir logDir_;
};

// Runs the server binary to completion (command-line errors, administration commands) with
// standardInput as its input; returns the exit code.
int runServerToExit(const QStringList& arguments, QByteArray* standardError, QByteArray* standardOutput = nullptr,
                    const QByteArray& standardInput = {});

}  // namespace centeremp::servertest
