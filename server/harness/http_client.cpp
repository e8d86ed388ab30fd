#include "server/harness/http_client.h"

#include <QList>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace centeremp::harness {

namespace {

using Clock = std::chrono::steady_clock;

constexpr qsizetype kChunkBytes = 64 * 1024;
constexpr int kHexBase = 16;
constexpr qsizetype kStatusAt = 9;  // "HTTP/1.1 " is nine characters
constexpr int kNoContent = 204;
constexpr int kNotModified = 304;

}  // namespace

QByteArray HttpReply::header(const QByteArray& name) const {
    for (const QByteArray& line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.first(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.sliced(colon + 1).trimmed();
    }
    return {};
}

QByteArray basicAuthorization(const QByteArray& name, const QByteArray& password) {
    return "Basic " + (name + ':' + password).toBase64();
}

HttpClient::HttpClient(quint16 port, QByteArray authorization, std::chrono::milliseconds timeout)
    : port_(port), authorization_(std::move(authorization)), timeout_(timeout) {}

HttpClient::~HttpClient() { close(); }

void HttpClient::close() {
    if (session_) gnutls_deinit(session_);
    session_ = nullptr;
    if (credentials_) gnutls_certificate_free_credentials(credentials_);
    credentials_ = nullptr;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    buffer_.clear();
    peerClosed_ = false;
}

bool HttpClient::waitFor(short events, Deadline deadline) {
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
    if (!connectSocket(error)) return false;
    if (authorityFile_.isEmpty() || handshake(error)) return true;
    close();
    return false;
}

bool HttpClient::handshake(std::string* error) {
    const auto failed = [error](const char* what, int result) {
        *error = std::string("TLS: ") + what + ": " + gnutls_strerror(result);
        return false;
    };
    if (int result = gnutls_certificate_allocate_credentials(&credentials_); result < 0)
        return failed("credentials", result);
    if (int result =
            gnutls_certificate_set_x509_trust_file(credentials_, authorityFile_.constData(), GNUTLS_X509_FMT_PEM);
        result <= 0)
        return failed("the certificate authority", result < 0 ? result : GNUTLS_E_FILE_ERROR);
    if (int result = gnutls_init(&session_, GNUTLS_CLIENT | GNUTLS_NONBLOCK); result < 0) return failed("init", result);
    gnutls_set_default_priority(session_);
    gnutls_credentials_set(session_, GNUTLS_CRD_CERTIFICATE, credentials_);
    gnutls_session_set_verify_cert(session_, "127.0.0.1", 0);
    gnutls_transport_set_int(session_, fd_);
    const Deadline deadline = Clock::now() + timeout_;
    for (;;) {
        const int result = gnutls_handshake(session_);
        if (result == GNUTLS_E_SUCCESS) return true;
        if (gnutls_error_is_fatal(result)) return failed("handshake", result);
        if (!waitFor(gnutls_record_get_direction(session_) ? POLLOUT : POLLIN, deadline)) {
            *error = "time-out in the TLS handshake";
            return false;
        }
    }
}

ssize_t HttpClient::sendSome(const char* data, std::size_t size) {
    if (!session_) return ::send(fd_, data, size, MSG_NOSIGNAL);
    const ssize_t result = gnutls_record_send(session_, data, size);
    if (result >= 0) return result;
    errno = result == GNUTLS_E_AGAIN || result == GNUTLS_E_INTERRUPTED ? EAGAIN : EPROTO;
    tlsError_ = gnutls_strerror(int(result));
    return -1;
}

ssize_t HttpClient::receiveSome(char* data, std::size_t size) {
    if (!session_) return ::recv(fd_, data, size, 0);
    const ssize_t result = gnutls_record_recv(session_, data, size);
    if (result >= 0) return result;
    if (result == GNUTLS_E_PREMATURE_TERMINATION) return 0;  // closed without a TLS goodbye
    errno = result == GNUTLS_E_AGAIN || result == GNUTLS_E_INTERRUPTED ? EAGAIN : EPROTO;
    tlsError_ = gnutls_strerror(int(result));
    return -1;
}

bool HttpClient::connectSocket(std::string* error) {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (receiveBuffer_ > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer_, sizeof receiveBuffer_);
    if (source_ != 0) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(source_);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
            *error = std::string("bind: ") + std::strerror(errno);
            close();
            return false;
        }
    }
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

bool HttpClient::readUntilClosed(QByteArray* received, std::string* error) {
    const Deadline deadline = Clock::now() + timeout_;
    bool closed = fd_ >= 0;
    while (closed && !peerClosed_) {
        closed = receive(deadline, error);
        // A server that closes with bytes of ours unread resets the connection.
        if (!closed && *error == std::string("recv: ") + std::strerror(ECONNRESET)) {
            closed = true;
            break;
        }
    }
    *received = buffer_;
    buffer_.clear();
    return closed;
}

bool HttpClient::sendAll(const QByteArray& bytes, Deadline deadline, std::string* error) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = sendSome(bytes.constData() + sent, std::size_t(bytes.size() - sent));
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            *error = std::string("send: ") + (errno == EPROTO ? tlsError_ : std::strerror(errno));
            return false;
        }
        if (!waitFor(POLLOUT, deadline)) {
            *error = "time-out while sending";
            return false;
        }
    }
    return true;
}

bool HttpClient::sendBody(const QByteArray& body, bool chunked, Deadline deadline, std::string* error) {
    if (!chunked) return sendAll(body, deadline, error);
    for (qsizetype at = 0; at < body.size(); at += kChunkBytes) {
        const QByteArray part = body.mid(at, kChunkBytes);
        if (!sendAll(QByteArray::number(part.size(), kHexBase) + "\r\n" + part + "\r\n", deadline, error)) return false;
    }
    return sendAll("0\r\n\r\n", deadline, error);
}

bool HttpClient::receive(Deadline deadline, std::string* error) {
    char chunk[kChunkBytes];
    for (;;) {
        const ssize_t n = receiveSome(chunk, sizeof chunk);
        if (n > 0) {
            buffer_.append(chunk, n);
            return true;
        }
        if (n == 0) {
            peerClosed_ = true;
            return true;
        }
        if (errno != EAGAIN && errno != EINTR) {
            *error = std::string("recv: ") + (errno == EPROTO ? tlsError_ : std::strerror(errno));
            return false;
        }
        if (!waitFor(POLLIN, deadline)) {
            *error = "time-out waiting for the reply";
            return false;
        }
    }
}

bool HttpClient::readHead(Deadline deadline, std::string* error) {
    while (!buffer_.contains("\r\n\r\n")) {
        if (peerClosed_) {
            *error = "closed by the server before the reply";
            return false;
        }
        if (!receive(deadline, error)) return false;
    }
    return true;
}

HttpReply HttpClient::readReply(Deadline deadline) {
    HttpReply reply;
    if (!readHead(deadline, &reply.error)) return reply;
    const qsizetype headEnd = buffer_.indexOf("\r\n\r\n");
    reply.head = buffer_.first(headEnd);
    reply.status = buffer_.startsWith("HTTP/1.") ? buffer_.mid(kStatusAt, 3).toInt() : 0;
    if (reply.status == 0) {
        reply.error = "not an HTTP reply";
        return reply;
    }
    // A reply without a length runs to the end of the connection.
    const QByteArray length = reply.header("Content-Length");
    const bool bodiless = reply.status == kNoContent || reply.status == kNotModified;
    const qsizetype end = bodiless ? headEnd + 4 : length.isEmpty() ? -1 : headEnd + 4 + length.toLongLong();
    while (end < 0 ? !peerClosed_ : buffer_.size() < end) {
        std::string error = "closed by the server in the middle of the reply";
        if (peerClosed_ || !receive(deadline, &error)) return HttpReply{0, reply.head, {}, error};
    }
    const qsizetype taken = end < 0 ? buffer_.size() : end;
    reply.body = buffer_.mid(headEnd + 4, taken - headEnd - 4);
    buffer_.remove(0, taken);
    return reply;
}

HttpReply HttpClient::request(const QByteArray& method, const QByteArray& target, const QByteArray& body,
                              const RequestOptions& options) {
    std::string error;
    if (fd_ < 0 && !connectOnly(&error)) return HttpReply{0, {}, {}, error};
    QByteArray head = method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port_) + "\r\n";
    if (!options.keepAlive) head += "Connection: close\r\n";
    if (!authorization_.isEmpty()) head += "Authorization: " + authorization_ + "\r\n";
    if (!options.contentType.isEmpty()) head += "Content-Type: " + options.contentType + "\r\n";
    if (options.chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else if (!body.isEmpty() || method == "POST")
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    const bool expectContinue = body.size() > kExpectContinueAbove;
    if (expectContinue) head += "Expect: 100-continue\r\n";
    const Deadline deadline = Clock::now() + timeout_;
    HttpReply reply;
    if (!sendAll(head + "\r\n", deadline, &error)) {
        reply.error = error;
    } else if (expectContinue && (!readHead(deadline, &reply.error) || !buffer_.startsWith("HTTP/1.1 100"))) {
        // Answered (or not at all) before the body went: that answer is the reply.
        if (reply.error.empty()) reply = readReply(deadline);
    } else {
        if (expectContinue) buffer_.remove(0, buffer_.indexOf("\r\n\r\n") + 4);
        // A server that refuses a body may close before all of it went: its reply still counts.
        const bool sent = sendBody(body, options.chunked, deadline, &error);
        reply = readReply(deadline);
        if (!sent && reply.status == 0) reply.error = error;
    }
    if (reply.status == 0 || !options.keepAlive) close();
    return reply;
}

}  // namespace centeremp::harness
