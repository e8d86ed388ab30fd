#pragma once

// A small blocking HTTP/1.1 client for the tests and the load generator: one socket to
// 127.0.0.1, keep-alive when asked, every wait bounded by a time-out, TLS when asked (to a
// proxy that ends it). Loopback only.

#include <QByteArray>

#include <gnutls/gnutls.h>

#include <chrono>
#include <string>

namespace centeremp::harness {

struct HttpReply {
    int status = 0;  // 0: no answer (see error)
    QByteArray head;
    QByteArray body;
    std::string error;  // "time-out waiting for the reply", "connect: Connection refused", ...
    // A header's value, trimmed; empty when the head has none of that name.
    QByteArray header(const QByteArray& name) const;
};

struct RequestOptions {
    QByteArray contentType;  // none when empty
    bool chunked = false;    // the body in chunks instead of with a Content-Length
    bool keepAlive = true;   // false asks the server to close, and closes our side too
};

class HttpClient {
public:
    // Bodies above this wait for the server's go-ahead ("Expect: 100-continue") before they
    // are sent, so that a refusal before the body arrives is still read.
    static constexpr qsizetype kExpectContinueAbove = 1024 * 1024;

    // authorization: the Authorization header's value sent with every request, or empty.
    explicit HttpClient(quint16 port, QByteArray authorization = {},
                        std::chrono::milliseconds timeout = std::chrono::seconds(5));
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Sends one request on the open connection (connecting first when there is none) and reads
    // the whole reply, all within the time-out.
    HttpReply request(const QByteArray& method, const QByteArray& target, const QByteArray& body = {},
                      const RequestOptions& options = {});

    // Connects from this loopback address (127.0.0.2, ...) instead of 127.0.0.1, as a client on
    // another host would; for limits per address.
    void setSourceAddress(quint32 loopbackAddress) { source_ = loopbackAddress; }
    // A small receive buffer makes a client that does not read hold the server's reply back.
    void setReceiveBufferBytes(int bytes) { receiveBuffer_ = bytes; }
    // Speaks TLS, trusting the certificate authority in that PEM file for 127.0.0.1.
    void useTls(const QByteArray& authorityFile) { authorityFile_ = authorityFile; }

    // For idle and slow clients: connect, write raw bytes, nothing else.
    bool connectOnly(std::string* error);
    bool sendRaw(const QByteArray& bytes);
    // Everything the server sends until it closes the connection; false with what arrived so
    // far when it is still open at the time-out.
    bool readUntilClosed(QByteArray* received, std::string* error);
    void close();
    bool isConnected() const { return fd_ >= 0; }

private:
    using Deadline = std::chrono::steady_clock::time_point;
    bool waitFor(short events, Deadline deadline);
    bool connectSocket(std::string* error);
    bool handshake(std::string* error);
    // One send or receive on the socket or through TLS: bytes moved, 0 at the peer's close, or
    // -1 with errno (EAGAIN: wait and try again; with TLS, tlsError_ says what went wrong).
    ssize_t sendSome(const char* data, std::size_t size);
    ssize_t receiveSome(char* data, std::size_t size);
    bool sendAll(const QByteArray& bytes, Deadline deadline, std::string* error);
    bool sendBody(const QByteArray& body, bool chunked, Deadline deadline, std::string* error);
    // Buffers what arrives next, waiting for it; notes a close. False on error or time-out.
    bool receive(Deadline deadline, std::string* error);
    // Reads until a whole head is buffered; false on close, error or time-out (error says).
    bool readHead(Deadline deadline, std::string* error);
    HttpReply readReply(Deadline deadline);

    quint16 port_;
    QByteArray authorization_;
    std::chrono::milliseconds timeout_;
    quint32 source_ = 0;     // host order; 0: the system chooses
    int receiveBuffer_ = 0;  // 0: the system's
    int fd_ = -1;
    QByteArray buffer_;  // bytes received beyond the last reply
    bool peerClosed_ = false;
    QByteArray authorityFile_;  // empty: plain HTTP
    gnutls_certificate_credentials_t credentials_ = nullptr;
    gnutls_session_t session_ = nullptr;
    std::string tlsError_;
};

// The value of an Authorization header for HTTP Basic sign-in.
QByteArray basicAuthorization(const QByteArray& name, const QByteArray& password);

}  // namespace centeremp::harness
