#pragma once

#include <QByteArray>
#include <QString>
#include <QTcpServer>
#include <vector>

// A real HTTP server on a free loopback port that answers every request with one canned
// response, and remembers what it was asked. For feeds and replies that the reference server
// would never produce: broken documents, odd counts, long or blank replies.
class CannedHttpServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method;
        QByteArray target;
        QByteArray headers;
        QByteArray body;
    };

    CannedHttpServer();
    void respond(int status, QByteArray body, QByteArray contentType = "text/xml; charset=utf-8");
    QString url() const;  // http://127.0.0.1:PORT
    const std::vector<Request>& requests() const { return requests_; }

private:
    void serve(QTcpSocket* socket);

    QTcpServer server_;
    int status_ = 200;
    QByteArray body_;
    QByteArray contentType_;
    std::vector<Request> requests_;
};

// A loopback address where nothing listens.
QString closedPortUrl();
