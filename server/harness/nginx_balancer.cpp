#include "server/harness/nginx_balancer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace centeremp::harness {

namespace {

constexpr int attempts = 3;  // another program may take the free port before nginx does
constexpr int readyWithinMs = 10000;
constexpr int stopWithinMs = 10000;

// A port nobody listens on right now.
quint16 freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool accepts(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

}  // namespace

QByteArray nginxConfiguration(const QString& folder, quint16 port, const QString& certificate, const QString& key,
                              const std::vector<quint16>& instances) {
    QByteArray servers;
    for (quint16 instance : instances)
        servers += "        server 127.0.0.1:" + QByteArray::number(instance) + " max_fails=1 fail_timeout=10s;\n";
    QByteArray text = R"(worker_processes 1;
error_log @DIR@/error.log warn;
pid @DIR@/nginx.pid;
events { worker_connections 4096; }
http {
    access_log off;
    client_body_temp_path @DIR@/body;
    proxy_temp_path @DIR@/proxy;
    fastcgi_temp_path @DIR@/fastcgi;
    uwsgi_temp_path @DIR@/uwsgi;
    scgi_temp_path @DIR@/scgi;
    upstream centeremp {
@SERVERS@        keepalive 64;
    }
    server {
        listen 127.0.0.1:@PORT@ ssl;
        ssl_certificate @CERT@;
        ssl_certificate_key @KEY@;
        ssl_protocols TLSv1.2 TLSv1.3;
        client_max_body_size 16m;
        # The instances answer their metrics to programs on their own machine.
        location = /metrics { return 404; }
        location / {
            proxy_pass http://centeremp;
            proxy_http_version 1.1;
            proxy_set_header Connection "";
            proxy_set_header Host $host;
            proxy_set_header X-Request-Id $request_id;
            # A page load goes to the other instance when one is down or stopping; a batch only
            # when it was not sent yet (it is never sent twice).
            proxy_next_upstream error timeout http_503;
            proxy_connect_timeout 2s;
            proxy_read_timeout 90s;
        }
    }
}
)";
    text.replace("@DIR@", QFile::encodeName(folder));
    text.replace("@SERVERS@", servers);
    text.replace("@PORT@", QByteArray::number(port));
    text.replace("@CERT@", QFile::encodeName(certificate));
    text.replace("@KEY@", QFile::encodeName(key));
    return text;
}

NginxBalancer::NginxBalancer(const std::vector<quint16>& instances, const QString& certificate, const QString& key) {
    if (!dir_.isValid()) {
        problem_ = QStringLiteral("no temporary folder");
        return;
    }
    // Started as root, nginx's worker runs as nobody: it must be able to write its folders.
    for (const char* folder : {"body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
        const QString path = dir_.filePath(QString::fromLatin1(folder));
        QDir().mkpath(path);
        QFile::setPermissions(path, QFileDevice::Permissions(0x7777));
    }
    QFile::setPermissions(dir_.path(), QFileDevice::Permissions(0x7755));
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (startOn(freePort(), instances, certificate, key)) return;
    }
}

bool NginxBalancer::startOn(quint16 port, const std::vector<quint16>& instances, const QString& certificate,
                            const QString& key) {
    const QString config = dir_.filePath(u"nginx.conf"_qs);
    QFile file(config);
    if (port == 0 || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        problem_ = QStringLiteral("cannot write %1").arg(config);
        return false;
    }
    file.write(nginxConfiguration(dir_.path(), port, certificate, key, instances));
    file.close();
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::MergedChannels);
    process_->start(u"/usr/sbin/nginx"_qs, {u"-p"_qs, dir_.path(), u"-c"_qs, config, u"-e"_qs,
                                            dir_.filePath(u"error.log"_qs), u"-g"_qs, u"daemon off;"_qs});
    if (!process_->waitForStarted()) {
        problem_ =
            QStringLiteral("cannot start /usr/sbin/nginx (./dev setup installs it): %1").arg(process_->errorString());
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < readyWithinMs && process_->state() == QProcess::Running) {
        if (accepts(port)) {
            port_ = port;
            problem_.clear();
            return true;
        }
        QThread::msleep(50);
    }
    process_->kill();
    process_->waitForFinished();
    problem_ = QStringLiteral("nginx did not start: %1%2")
                   .arg(QString::fromLocal8Bit(process_->readAll()), QString::fromLocal8Bit(errorLog()));
    return false;
}

QByteArray NginxBalancer::errorLog() const {
    QFile log(dir_.filePath(u"error.log"_qs));
    return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

NginxBalancer::~NginxBalancer() {
    if (!process_ || process_->state() == QProcess::NotRunning) return;
    process_->terminate();  // nginx's fast shutdown
    if (!process_->waitForFinished(stopWithinMs)) {
        process_->kill();
        process_->waitForFinished();
    }
}

}  // namespace centeremp::harness
