#pragma once

// Debian's nginx in front of centeremp-server instances, as a company would put it there: it
// ends TLS and hands the requests round robin to the instances on loopback. For the tests and
// the load test; nothing but loopback.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace centeremp::harness {

// The configuration README gives, with the folder, port, certificate and instances filled in.
QByteArray nginxConfiguration(const QString& folder, quint16 port, const QString& certificate, const QString& key,
                              const std::vector<quint16>& instances);

class NginxBalancer {
public:
    // Starts nginx on a free loopback port with that certificate and key, in front of the
    // instances on 127.0.0.1 at those ports, and waits until it takes connections.
    NginxBalancer(const std::vector<quint16>& instances, const QString& certificate, const QString& key);
    ~NginxBalancer();  // stops it and waits for its end
    NginxBalancer(const NginxBalancer&) = delete;
    NginxBalancer& operator=(const NginxBalancer&) = delete;

    // Why it is not running; empty when it is.
    const QString& problem() const { return problem_; }
    quint16 port() const { return port_; }
    QString url() const { return QStringLiteral("https://127.0.0.1:%1").arg(port_); }
    // What nginx wrote to its error log.
    QByteArray errorLog() const;

private:
    bool startOn(quint16 port, const std::vector<quint16>& instances, const QString& certificate, const QString& key);

    QTemporaryDir dir_;
    std::unique_ptr<QProcess> process_;
    quint16 port_ = 0;
    QString problem_;
};

}  // namespace centeremp::harness
