#pragma once

// A small blocking HTTP/1.1 client for the load generator: one socket, keep-alive when asked,
// every wait bounded by a time-out, loopback only.

#include <QByteArray>

#include <chrono>
#include <string>

namespace centeremp::loadtest {

struct Reply {
    int status = 0;  // 0: no answer (see error)
    QByteArray body;
    std::string error;  // "time-out", "connection refused", ...
};

class HttpClient {
public:
    // authorization: the Authorization header's value sent with every request, or empty.
    HttpClient(quint16 port, QByteArray authorization, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Sends one request on the open connection (connecting first when there is none) and reads
    // the whole reply. keepAlive false asks the server to close, and closes our side too.
    Reply request(const QByteArray& method, const QByteArray& target, const QByteArray& body = {},
                  bool keepAlive = true);

    // For idle and slow clients: connect, write raw bytes, nothing else.
    bool connectOnly(std::string* error);
    bool sendRaw(const QByteArray& bytes);
    void close();
    bool isConnected() const { return fd_ >= 0; }

private:
    bool waitFor(short events, std::chrono::steady_clock::time_point deadline);
    bool sendAll(const QByteArray& bytes, std::chrono::steady_clock::time_point deadline, std::string* error);
    Reply readReply(std::chrono::steady_clock::time_point deadline);

    quint16 port_;
    QByteArray authorization_;
    std::chrono::milliseconds timeout_;
    int fd_ = -1;
    QByteArray buffer_;  // bytes received beyond the last reply
};

}  // namespace centeremp::loadtest
