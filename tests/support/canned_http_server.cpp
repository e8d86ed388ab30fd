#include "support/canned_http_server.h"

#include <QTcpSocket>

CannedHttpServer::CannedHttpServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                *buffer += socket->readAll();
                const qsizetype headerEnd = buffer->indexOf("\r\n\r\n");
                if (headerEnd < 0) return;
                const QByteArray head = buffer->left(headerEnd);
                qsizetype length = 0;
                for (const QByteArray& line : head.split('\n'))
                    if (line.toLower().startsWith("content-length:")) length = line.mid(15).trimmed().toLongLong();
                if (buffer->size() < headerEnd + 4 + length) return;
                const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
                requests_.push_back({requestLine.value(0), requestLine.value(1), head, buffer->mid(headerEnd + 4, length)});
                buffer->clear();
                serve(socket);
            });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

void CannedHttpServer::respond(int status, QByteArray body, QByteArray contentType) {
    status_ = status;
    body_ = std::move(body);
    contentType_ = std::move(contentType);
}

QString CannedHttpServer::url() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }

void CannedHttpServer::serve(QTcpSocket* socket) {
    QByteArray response = "HTTP/1.1 " + QByteArray::number(status_) + " Canned\r\n";
    response += "Content-Type: " + contentType_ + "\r\n";
    response += "Content-Length: " + QByteArray::number(body_.size()) + "\r\n";
    response += "Connection: close\r\n\r\n";
    response += body_;
    socket->write(response);
    socket->disconnectFromHost();
}

QString closedPortUrl() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}
