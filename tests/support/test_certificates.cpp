#include "support/test_certificates.h"

#include <QFile>
#include <QRegularExpression>

namespace {

constexpr int kOpensslMs = 30000;

// Small, quick keys: the tests check verification, not strength.
const QStringList kNewKey = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                             QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};

}  // namespace

TestCertificates::TestCertificates() {
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return;
    }
    const QString loopbackNames = QStringLiteral("IP:127.0.0.1,DNS:localhost");
    const bool made =
        openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + kNewKey +
                QStringList{QStringLiteral("-keyout"), path(QStringLiteral("ca.key")), QStringLiteral("-out"), caFile(),
                            QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                            QStringLiteral("/CN=Test authority"), QStringLiteral("-addext"),
                            QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
                            QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")}) &&
        signedByCa(QStringLiteral("server"), loopbackNames) &&
        signedByCa(QStringLiteral("other"), QStringLiteral("DNS:elsewhere.invalid")) &&
        openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + kNewKey +
                QStringList{QStringLiteral("-keyout"), selfSignedKey(), QStringLiteral("-out"), selfSignedCert(),
                            QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                            QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                            QStringLiteral("subjectAltName=") + loopbackNames});
    if (!made && error_.isEmpty()) error_ = QStringLiteral("openssl failed");
}

bool TestCertificates::signedByCa(const QString& name, const QString& altNames) {
    const QString extensions = path(name + QStringLiteral(".ext"));
    QFile file(extensions);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write("basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\nsubjectAltName=" + altNames.toUtf8() + "\n");
    file.close();
    return openssl(QStringList{QStringLiteral("req")} + kNewKey +
                   QStringList{QStringLiteral("-keyout"), path(name + QStringLiteral(".key")), QStringLiteral("-out"),
                               path(name + QStringLiteral(".csr")), QStringLiteral("-subj"),
                               QStringLiteral("/CN=") + name}) &&
           openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                    path(name + QStringLiteral(".csr")), QStringLiteral("-CA"), caFile(), QStringLiteral("-CAkey"),
                    path(QStringLiteral("ca.key")), QStringLiteral("-CAcreateserial"), QStringLiteral("-days"),
                    QStringLiteral("2"), QStringLiteral("-extfile"), extensions, QStringLiteral("-out"),
                    path(name + QStringLiteral(".pem"))});
}

bool TestCertificates::openssl(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(kOpensslMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error_ = QStringLiteral("openssl %1: %2").arg(arguments.join(u' '), QString::fromUtf8(process.readAll()));
        return false;
    }
    return true;
}

OpensslTlsServer::OpensslTlsServer(const QString& cert, const QString& key) {
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(
        QStringLiteral("openssl"),
        {QStringLiteral("s_server"), QStringLiteral("-www"), QStringLiteral("-accept"), QStringLiteral("127.0.0.1:0"),
         QStringLiteral("-cert"), cert, QStringLiteral("-key"), key, QStringLiteral("-tls1_2")});
    // It names its port once it listens: "ACCEPT 127.0.0.1:PORT".
    const QRegularExpression accepting(QStringLiteral("ACCEPT 127\\.0\\.0\\.1:(\\d+)"));
    QByteArray said;
    while (process_.waitForReadyRead(10000)) {
        said += process_.readAll();
        if (const auto match = accepting.match(QString::fromLatin1(said)); match.hasMatch()) {
            port_ = quint16(match.captured(1).toUInt());
            return;
        }
    }
}

OpensslTlsServer::~OpensslTlsServer() {
    process_.kill();
    process_.waitForFinished(5000);
}

QString OpensslTlsServer::url(const QString& host) const {
    return QStringLiteral("https://%1:%2").arg(host).arg(port_);
}

ScopedEnvironment::ScopedEnvironment(const char* name, const QByteArray& value)
    : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    qputenv(name, value);
}

ScopedEnvironment::~ScopedEnvironment() {
    if (had_)
        qputenv(name_, old_);
    else
        qunsetenv(name_);
}
