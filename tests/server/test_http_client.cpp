#include "test_http_client.h"

#include "test_application.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace centeremp::servertest {

namespace {

constexpr int connectWaitMs = 5000;
constexpr int transferWaitMs = 60000;  // for a whole body, or a whole reply
constexpr int continueWaitMs = 10000;  // for the interim answer to "Expect: 100-continue"
constexpr int pollMs = 1000;
constexpr int continuePollMs = 200;
// Bodies above this wait for the server's go-ahead before they are sent.
constexpr qsizetype expectContinueAbove = 1024 * 1024;
constexpr qsizetype chunkBytes = 64 * 1024;
constexpr int hexBase = 16;

bool waitForWritten(QTcpSocket& socket) {
    QElapsedTimer timer;
    timer.start();
    while (socket.bytesToWrite() > 0) {
        if (socket.state() != QAbstractSocket::ConnectedState || timer.elapsed() > transferWaitMs) return false;
        socket.waitForBytesWritten(pollMs);
    }
    return true;
}

// Reads until the peer closes the connection (we always send Connection: close).
QByteArray readToEnd(QTcpSocket& socket, QByteArray received) {
    QElapsedTimer timer;
    timer.start();
    while (socket.state() == QAbstractSocket::ConnectedState && timer.elapsed() < transferWaitMs) {
        socket.waitForReadyRead(pollMs);
        received += socket.readAll();
    }
    received += socket.readAll();
    return received;
}

HttpReply parseReply(const QByteArray& raw) {
    HttpReply reply;
    const qsizetype headEnd = raw.indexOf("\r\n\r\n");
    if (!raw.startsWith("HTTP/1.") || headEnd < 0) return reply;
    reply.head = raw.first(headEnd);
    reply.status = raw.mid(9, 3).toInt();  // "HTTP/1.1 " is nine characters
    reply.body = raw.sliced(headEnd + 4);
    const QByteArray length = reply.header("Content-Length");
    if (!length.isEmpty()) reply.body.truncate(length.toLongLong());
    return reply;
}

QByteArray requestHead(quint16 port, const QByteArray& method, const QByteArray& target, qsizetype bodySize,
                       const QByteArray& contentType, bool chunked, bool expectContinue,
                       const QByteArray& authorization) {
    QByteArray head = method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                      "\r\nConnection: close\r\n";
    if (!authorization.isEmpty()) head += "Authorization: " + authorization + "\r\n";
    if (!contentType.isEmpty()) head += "Content-Type: " + contentType + "\r\n";
    if (chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else if (bodySize > 0 || method == "POST")
        head += "Content-Length: " + QByteArray::number(bodySize) + "\r\n";
    if (expectContinue) head += "Expect: 100-continue\r\n";
    return head + "\r\n";
}

// Waits for the answer to the head alone: true when it is "100 Continue" (whose head is then
// dropped from received), false when the server answered before the body.
bool awaitContinue(QTcpSocket& socket, QByteArray& received) {
    waitForWritten(socket);
    QElapsedTimer timer;
    timer.start();
    while (!received.contains("\r\n\r\n") && timer.elapsed() < continueWaitMs &&
           socket.state() == QAbstractSocket::ConnectedState) {
        socket.waitForReadyRead(continuePollMs);
        received += socket.readAll();
    }
    if (!received.startsWith("HTTP/1.1 100")) return false;
    received = received.sliced(received.indexOf("\r\n\r\n") + 4);
    return true;
}

void sendChunked(QTcpSocket& socket, const QByteArray& body) {
    for (qsizetype at = 0; at < body.size() && socket.state() == QAbstractSocket::ConnectedState; at += chunkBytes) {
        const QByteArray part = body.mid(at, chunkBytes);
        socket.write(QByteArray::number(part.size(), hexBase) + "\r\n" + part + "\r\n");
        if (!waitForWritten(socket)) break;
    }
    socket.write("0\r\n\r\n");
}

}  // namespace

QByteArray basicAuthorization(const QString& name, const QString& password) {
    return "Basic " + (name + u':' + password).toUtf8().toBase64();
}

QByteArray HttpReply::header(const QByteArray& name) const {
    for (const QByteArray& line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.first(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.sliced(colon + 1).trimmed();
    }
    return {};
}

HttpReply httpRequest(quint16 port, const QByteArray& method, const QByteArray& target, const QByteArray& body,
                      const QByteArray& contentType, bool chunked, const QByteArray& authorization) {
    ensureApplication();
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(connectWaitMs)) {
        ADD_FAILURE() << "cannot connect to port " << port << ": " << socket.errorString().toStdString();
        return {};
    }
    const bool expectContinue = body.size() > expectContinueAbove;
    socket.write(requestHead(port, method, target, body.size(), contentType, chunked, expectContinue, authorization));
    QByteArray received;
    if (expectContinue && !awaitContinue(socket, received))
        return parseReply(readToEnd(socket, received));  // answered before the body
    if (chunked)
        sendChunked(socket, body);
    else
        socket.write(body);
    waitForWritten(socket);
    return parseReply(readToEnd(socket, received));
}

}  // namespace centeremp::servertest
