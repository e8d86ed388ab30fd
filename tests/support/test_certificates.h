#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Certificates made for one test run with the openssl command line, in a temporary folder: a
// certificate authority, a server certificate it signed for 127.0.0.1 and localhost, one it
// signed for another name, and a self-signed one for 127.0.0.1 that no authority vouches for.
class TestCertificates {
public:
    TestCertificates();
    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }

    QString caFile() const { return path(QStringLiteral("ca.pem")); }
    QString serverCert() const { return path(QStringLiteral("server.pem")); }
    QString serverKey() const { return path(QStringLiteral("server.key")); }
    QString otherNameCert() const { return path(QStringLiteral("other.pem")); }
    QString otherNameKey() const { return path(QStringLiteral("other.key")); }
    QString selfSignedCert() const { return path(QStringLiteral("self.pem")); }
    QString selfSignedKey() const { return path(QStringLiteral("self.key")); }

private:
    QString path(const QString& name) const { return dir_.filePath(name); }
    bool openssl(const QStringList& arguments);
    bool signedByCa(const QString& name, const QString& altNames);

    QTemporaryDir dir_;
    QString error_;
};

// `openssl s_server -www` on a free loopback port with the given certificate: answers a GET
// with a status page over TLS. Stopped when it goes.
class OpensslTlsServer {
public:
    OpensslTlsServer(const QString& cert, const QString& key);
    ~OpensslTlsServer();
    bool ok() const { return port_ != 0; }
    QString url(const QString& host = QStringLiteral("127.0.0.1")) const;

private:
    QProcess process_;
    quint16 port_ = 0;
};

// Sets an environment variable for the life of the object, then puts back what was there.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QByteArray& value);
    ~ScopedEnvironment();

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};
