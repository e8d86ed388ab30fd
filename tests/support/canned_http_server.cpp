#include "support/canned_http_server.h"

#include <QList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {

constexpr int kPollMs = 20;

int loopbackListener(quint16& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 64) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("canned server: no loopback port");
    port = ntohs(address.sin_port);
    return fd;
}

// Waits for the socket to become readable; false once the server is stopping.
bool readable(int fd, const std::atomic<bool>& stopping) {
    pollfd p{fd, POLLIN, 0};
    while (!stopping) {
        const int ready = ::poll(&p, 1, kPollMs);
        if (ready > 0) return true;
        if (ready < 0) return false;
    }
    return false;
}

QByteArray chunked(const QByteArray& body, bool withLastChunk) {
    QByteArray out;
    for (qsizetype at = 0; at < body.size(); at += 1000) {
        const QByteArray piece = body.mid(at, 1000);
        out += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
    }
    return withLastChunk ? out + "0\r\n\r\n" : out;
}

}  // namespace

CannedHttpServer::CannedHttpServer() {
    listener_ = loopbackListener(port_);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

CannedHttpServer::~CannedHttpServer() {
    stopping_ = true;
    acceptor_.join();
    for (std::thread& worker : workers_) worker.join();
    ::close(listener_);
}

void CannedHttpServer::respond(int status, QByteArray body, QByteArray contentType, QByteArray headers) {
    std::lock_guard lock(mutex_);
    answer_ = {status, std::move(body), std::move(contentType), std::move(headers)};
}

void CannedHttpServer::answerInTurn(std::vector<Answer> answers) {
    std::lock_guard lock(mutex_);
    inTurn_ = std::move(answers);
}

void CannedHttpServer::deliver(Delivery delivery, std::chrono::milliseconds dripInterval) {
    std::lock_guard lock(mutex_);
    delivery_ = delivery;
    dripInterval_ = dripInterval;
}

QString CannedHttpServer::url() const { return QStringLiteral("http://127.0.0.1:%1").arg(port_); }

std::vector<CannedHttpServer::Request> CannedHttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void CannedHttpServer::acceptLoop() {
    while (readable(listener_, stopping_)) {
        const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) continue;
        ++connections_;
        workers_.emplace_back([this, socket] {
            serve(socket);
            ::close(socket);
        });
    }
}

// Reads one request (headers and a Content-Length body), records it and answers it.
void CannedHttpServer::serve(int socket) {
    QByteArray buffer;
    char bytes[16384];
    while (readable(socket, stopping_)) {
        const ssize_t got = ::recv(socket, bytes, sizeof bytes, 0);
        if (got <= 0) return;
        buffer.append(bytes, got);
        const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0) continue;
        const QByteArray head = buffer.left(headerEnd);
        qsizetype length = 0;
        QByteArray authorization;
        for (const QByteArray& line : head.split('\n')) {
            if (line.toLower().startsWith("content-length:")) length = line.mid(15).trimmed().toLongLong();
            if (line.toLower().startsWith("authorization:")) authorization = line.mid(14).trimmed();
        }
        if (buffer.size() < headerEnd + 4 + length) continue;
        const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(
                {requestLine.value(0), requestLine.value(1), head, buffer.mid(headerEnd + 4, length), authorization});
        }
        answer(socket);
        return;
    }
}

void CannedHttpServer::answer(int socket) {
    std::unique_lock lock(mutex_);
    Answer given = answer_;
    if (!inTurn_.empty()) {
        given = inTurn_.front();
        inTurn_.erase(inTurn_.begin());
    }
    const int status = given.status;
    const QByteArray body = given.body;
    const QByteArray contentType = given.contentType;
    const Delivery delivery = delivery_;
    const auto drip = dripInterval_;
    lock.unlock();

    if (delivery == Delivery::HangUp) return;
    const bool isChunked = delivery == Delivery::Chunked || delivery == Delivery::UnendedChunks;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + " Canned\r\nContent-Type: " + contentType + "\r\n";
    head += given.headers;
    head += isChunked ? QByteArray("Transfer-Encoding: chunked\r\n")
                      : "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";

    switch (delivery) {
    case Delivery::Whole: sendAll(socket, head + body); break;
    case Delivery::Chunked:
    case Delivery::UnendedChunks: sendAll(socket, head + chunked(body, delivery == Delivery::Chunked)); break;
    case Delivery::CutShort: sendAll(socket, head + body.left(7)); break;
    case Delivery::Stall:
        if (sendAll(socket, head)) readable(socket, stopping_);  // until the client closes
        break;
    case Delivery::Drip:
        if (!sendAll(socket, head)) break;
        for (qsizetype i = 0; i < body.size() && pause(drip); ++i)
            if (!sendAll(socket, body.mid(i, 1))) break;
        break;
    case Delivery::HangUp: break;
    }
}

bool CannedHttpServer::sendAll(int socket, const QByteArray& bytes) {
    qsizetype sent = 0;
    while (sent < bytes.size() && !stopping_) {
        const ssize_t n = ::send(socket, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += n;
    }
    return sent == bytes.size();
}

// Sleeps in small steps so that a stopping server does not wait out a long drip.
bool CannedHttpServer::pause(std::chrono::milliseconds duration) {
    const auto until = std::chrono::steady_clock::now() + duration;
    while (!stopping_ && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    return !stopping_;
}

QString closedPortUrl() {
    quint16 port = 0;
    const int fd = loopbackListener(port);
    ::close(fd);
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}
