#include "server/loadtest/http_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace centeremp::loadtest {

using Clock = std::chrono::steady_clock;

HttpClient::HttpClient(quint16 port, QByteArray authorization, std::chrono::milliseconds timeout)
    : port_(port), authorization_(std::move(authorization)), timeout_(timeout) {}

HttpClient::~HttpClient() { close(); }

void HttpClient::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    buffer_.clear();
}

bool HttpClient::waitFor(short events, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd entry{fd_, events, 0};
        const int ready = ::poll(&entry, 1, int(left));
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
    }
}

bool HttpClient::connectOnly(std::string* error) {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port_);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // never anywhere but this machine
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return true;
    if (errno != EINPROGRESS) {
        *error = std::string("connect: ") + std::strerror(errno);
        close();
        return false;
    }
    if (!waitFor(POLLOUT, Clock::now() + timeout_)) {
        *error = "time-out while connecting";
        close();
        return false;
    }
    int status = 0;
    socklen_t length = sizeof status;
    ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &status, &length);
    if (status != 0) {
        *error = std::string("connect: ") + std::strerror(status);
        close();
        return false;
    }
    return true;
}

bool HttpClient::sendRaw(const QByteArray& bytes) {
    std::string error;
    return fd_ >= 0 && sendAll(bytes, Clock::now() + timeout_, &error);
}

bool HttpClient::sendAll(const QByteArray& bytes, Clock::time_point deadline, std::string* error) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.constData() + sent, std::size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            *error = std::string("send: ") + std::strerror(errno);
            return false;
        }
        if (!waitFor(POLLOUT, deadline)) {
            *error = "time-out while sending";
            return false;
        }
    }
    return true;
}

Reply HttpClient::readReply(Clock::time_point deadline) {
    Reply reply;
    qsizetype headEnd = -1;
    qsizetype bodyLength = -1;
    char chunk[64 * 1024];
    for (;;) {
        if (headEnd < 0 && (headEnd = buffer_.indexOf("\r\n\r\n")) >= 0) {
            const QByteArray head = buffer_.first(headEnd).toLower();
            reply.status = buffer_.mid(9, 3).toInt();
            const qsizetype at = head.indexOf("\ncontent-length:");
            bodyLength = at < 0 ? 0 : head.mid(at + 16, head.indexOf('\r', at + 1) - at - 16).trimmed().toLongLong();
        }
        if (headEnd >= 0 && buffer_.size() >= headEnd + 4 + bodyLength) {
            reply.body = buffer_.mid(headEnd + 4, bodyLength);
            buffer_.remove(0, headEnd + 4 + bodyLength);
            return reply;
        }
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n > 0) {
            buffer_.append(chunk, n);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            reply = Reply{0, {}, n == 0 ? "closed by the server before the reply" : std::strerror(errno)};
            return reply;
        }
        if (!waitFor(POLLIN, deadline)) return Reply{0, {}, "time-out waiting for the reply"};
    }
}

Reply HttpClient::request(const QByteArray& method, const QByteArray& target, const QByteArray& body, bool keepAlive) {
    std::string error;
    if (fd_ < 0 && !connectOnly(&error)) return Reply{0, {}, error};
    QByteArray head = method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port_) + "\r\n";
    if (!keepAlive) head += "Connection: close\r\n";
    if (!authorization_.isEmpty()) head += "Authorization: " + authorization_ + "\r\n";
    if (method == "POST")
        head +=
            "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " + QByteArray::number(body.size()) +
            "\r\n";
    const auto deadline = Clock::now() + timeout_;
    if (!sendAll(head + "\r\n" + body, deadline, &error)) {
        close();
        return Reply{0, {}, error};
    }
    Reply reply = readReply(deadline);
    if (reply.status == 0 || !keepAlive) close();
    return reply;
}

}  // namespace centeremp::loadtest
