#pragma once

#include "server/command_line.h"
#include "server/connection_watch.h"
#include "server/server_metrics.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

struct MHD_Daemon;
struct MHD_Connection;

namespace centeremp::server {

struct HttpRequest {
    QByteArray method;
    QByteArray path;                                       // without the query
    std::vector<std::pair<QByteArray, QByteArray>> query;  // decoded name/value pairs in order
    QByteArray contentType;
    QByteArray authorization;  // the Authorization header as sent, empty without one
    QString remoteAddress;     // the client's IP address
    QByteArray body;
    QByteArray id;  // the request's name in the log and in X-Request-Id: the proxy's, or one made here
};

struct HttpResponse {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    std::vector<std::pair<QByteArray, QByteArray>> headers;
    QString logNote;      // for the server's log only, never sent: details the client must not see
    QString logOperator;  // for the log: who asked (the name given, when a sign-in failed)
    QString logCentre;    // for the log: the centre asked for, when there was one

    // A plain-text answer for a person: one line ending in a newline.
    static HttpResponse text(int status, const QString& message);
};

struct HttpLimits {
    // Idle keep-alive connections cost a socket and a little memory, so thousands are allowed;
    // the open-file limit lowers this at start when it must.
    unsigned connections = 10000;
    // One host (or slow sender) cannot take every slot; 0: no limit per address, for a load
    // balancer in front, where every client has its address.
    unsigned perClientConnections = 2500;
    unsigned idleTimeoutSeconds = 10;
    unsigned headTimeoutSeconds = 10;  // a request head in full, from its request line
    unsigned bodyWindowSeconds = 10;   // a body brings at least minBodyBytesPerWindow in each
    qint64 minBodyBytesPerWindow = 16 * 1024;
    std::size_t connectionMemoryBytes = 64 * 1024;  // request line and headers
    // Reply bytes a connection's socket holds that its reader has not made room for yet. The
    // kernel otherwise lets each one hold megabytes: a few thousand readers that read nothing
    // then take all of the system's TCP memory, and every connection's packets start to drop.
    int unsentReplyBytes = 128 * 1024;
    qsizetype maxBodyBytes = 16 * 1024 * 1024;
    qsizetype maxBufferedBytes = 64 * 1024 * 1024;           // all bodies being received or waiting at once
    qsizetype maxBufferedBytesPerClient = 32 * 1024 * 1024;  // the same from one address; 0: no limit
    // Web pages whose scripts may POST, as a browser names them in Origin ("https://host:port",
    // lower case); a POST that names any other page is refused. Programs send no Origin.
    std::vector<QByteArray> trustedOrigins;
    // Stopping: how long replies already made may take to reach their readers.
    unsigned stopReplySeconds = 10;
};

// A certificate chain and its private key, both PEM, checked to belong together.
struct TlsCredentials {
    QByteArray certificate;
    QByteArray key;
};

// HTTP over GNU libmicrohttpd. One polling thread does all socket work and never waits for
// the database: a complete request is handed to a worker thread while its connection is
// suspended, and the reply goes out when the worker resumes it. Requests that write (POST) and
// the others each have their own workers, so batches waiting for a lock or writing 32767 rows
// never hold up a page load, and idle connections cost no thread.
// Request bodies are collected up to a limit; a larger body is answered with 413 unkept.
// A request whose end or target another reader could see differently (two lengths, a length and
// chunks, no Host, a control byte in the target) is answered 400 and its connection closed.
// A watch over every connection (ConnectionWatch) shuts down slow senders and readers, and when
// connections run short, those that have sent least.
class HttpServer {
public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;
    // Called once on each worker thread before its first request. The handler it makes is used
    // and destroyed on that thread only, so it may hold a database connection.
    using HandlerFactory = std::function<Handler(int worker)>;

    // readers threads answer everything but POSTs, writers threads answer POSTs.
    HttpServer(HandlerFactory factory, int readers, int writers, HttpLimits limits = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // With tls, serves HTTPS only (TLS 1.2 or later, forward-secret AEAD suites).
    bool start(const ListenAddress& address, QString* error, const TlsCredentials* tls = nullptr);
    quint16 port() const { return port_; }
    // Request-body bytes held right now, received or waiting for a worker: zero when idle.
    qsizetype bufferedBytes() const { return bufferedBytes_.load(); }
    // Connections open and not cut.
    std::size_t openConnections() const { return watch_ ? watch_->live() : 0; }
    // Connections, and requests waiting for a worker in each pool.
    ServerLoad load();
    // Every answered request is counted there; set before start.
    void countIn(std::shared_ptr<ServerMetrics> metrics) { metrics_ = std::move(metrics); }
    // Stops accepting (a connection attempt is refused at once), lets the requests in progress
    // finish and delivers their replies, then ends. Replies that a reader does not take within
    // limits.stopReplySeconds are given up.
    void stop();

    struct Pending;  // per-request state, internal

private:
    friend struct HttpCallbacks;
    using Job = std::pair<MHD_Connection*, Pending*>;

    enum Lane { Reading, Writing, LaneCount };
    bool dispatch(MHD_Connection* connection, Pending* pending);
    void work(int worker, Lane lane);
    void stopWorkers();
    bool stopping();
    void requestBegun();  // on the polling thread, for every request whose head has arrived
    void requestEnded();  // ... and when the library is done with it
    // How many connections the daemon may take, given how many descriptors the process may hold.
    unsigned connectionLimit(unsigned long openFiles) const;
    // Takes room for body bytes from one address, within the total and the address's share.
    bool holdBody(const QString& address, qsizetype bytes);
    void releaseBody(const QString& address, qsizetype bytes);
    void sweep();
    void report();  // what was cut, and the library's messages left out, to the log
    // A proxy's name for the request when it is a plausible one, or else this process's next.
    QByteArray requestId(const char* given);

    HandlerFactory factory_;
    int readerCount_;
    int writerCount_;
    HttpLimits limits_;
    TlsCredentials tls_;
    MHD_Daemon* daemon_ = nullptr;
    quint16 port_ = 0;
    std::atomic<qsizetype> bufferedBytes_{0};
    std::mutex bodyMutex_;  // guards the map below and changes of bufferedBytes_
    QHash<QString, qsizetype> bufferedByAddress_;
    std::unique_ptr<ConnectionWatch> watch_;
    std::shared_ptr<ServerMetrics> metrics_;
    QByteArray idPrefix_;  // random, so that names from several instances behind one proxy differ
    std::atomic<quint64> requests_{0};
    std::thread sweeper_;  // cuts connections past their deadlines
    // The HTTP library's own messages since the last report, and how many of them were left out.
    std::atomic<int> libraryMessages_{0};
    std::atomic<int> libraryMessagesLeftOut_{0};

    std::mutex mutex_;  // guards the queue and the counters below
    std::condition_variable wake_[LaneCount];
    std::condition_variable idle_;
    std::deque<Job> queue_[LaneCount];
    int inFlight_ = 0;       // suspended connections not yet resumed
    int unfinished_ = 0;     // requests whose head has arrived and whose reply is not yet delivered
    bool refusing_ = false;  // stopping: new requests are answered 503 at once, every reply closes
    bool exit_ = false;
    bool sweeping_ = false;
    std::condition_variable sweepWake_;
    std::vector<std::thread> workers_;
};

}  // namespace centeremp::server
