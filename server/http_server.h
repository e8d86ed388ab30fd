#pragma once

#include "server/command_line.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

struct MHD_Daemon;

namespace centeremp::server {

struct HttpRequest
{
    QByteArray method;
    QByteArray path; // without the query
    std::vector<std::pair<QByteArray, QByteArray>> query; // decoded name/value pairs in order
    QByteArray contentType;
    QByteArray body;
};

struct HttpResponse
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    std::vector<std::pair<QByteArray, QByteArray>> headers;

    // A plain-text answer for a person: one line ending in a newline.
    static HttpResponse text(int status, const QString &message);
};

struct HttpLimits
{
    unsigned connections = 64;
    unsigned idleTimeoutSeconds = 30;
    std::size_t connectionMemoryBytes = 128 * 1024; // request line and headers
    qsizetype maxBodyBytes = 16 * 1024 * 1024;
    qsizetype maxBufferedBytes = 64 * 1024 * 1024; // all bodies being received at once
};

// HTTP over GNU libmicrohttpd with a single polling thread: the handler runs on that thread,
// one request at a time, which keeps the database connection on one thread. Request bodies are
// collected up to a limit; a larger body is answered with 413 without being kept.
class HttpServer
{
public:
    using Handler = std::function<HttpResponse(const HttpRequest &)>;

    HttpServer(Handler handler, HttpLimits limits = {});
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    bool start(const ListenAddress &address, QString *error);
    quint16 port() const { return m_port; }
    void stop();

    struct Pending; // per-request state, internal

private:
    friend struct HttpCallbacks;

    Handler m_handler;
    HttpLimits m_limits;
    MHD_Daemon *m_daemon = nullptr;
    quint16 m_port = 0;
    qsizetype m_bufferedBytes = 0; // touched only on the polling thread
};

} // namespace centeremp::server
