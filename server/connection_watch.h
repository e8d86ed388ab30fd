#pragma once

#include <QHash>
#include <QPair>
#include <QString>

#include <chrono>
#include <functional>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace centeremp::server {

struct WatchLimits {
    unsigned connections = 0;  // the server's connection limit; 0: none
    unsigned perAddress = 0;   // connections from one address; 0: none (a proxy in front)
    std::chrono::seconds idle{10};
    // A request head in full within this time of its request line, and the request line within
    // idle + head of the connection falling idle.
    std::chrono::seconds head{10};
    // A body must bring, and a reply be taken, at least minBodyBytes in every window of this
    // length.
    std::chrono::seconds bodyWindow{10};
    qint64 minBodyBytes = 16 * 1024;
};

// Every open connection and how far its request has come, so that a client that sends slowly
// cannot keep a connection for long, and so that when connections run short the ones that have
// sent least of an unfinished request go first. A connection whose request is being answered is
// never cut to make room; one whose reader takes its reply too slowly is cut. Cutting is the
// caller's (a shutdown of the socket, which the HTTP library then closes); this class only
// decides. Thread-safe.
class ConnectionWatch {
public:
    using Clock = std::chrono::steady_clock;
    using Cut = std::function<void(int socket)>;
    struct Connection;
    enum class Reason { Idle, SlowHead, SlowBody, SlowReader, MadeRoom };
    // Connections cut for one reason from one address.
    struct Cuts {
        Reason reason;
        QString address;
        int count;
    };

    ConnectionWatch(WatchLimits limits, Cut cut);
    ~ConnectionWatch();
    ConnectionWatch(const ConnectionWatch&) = delete;
    ConnectionWatch& operator=(const ConnectionWatch&) = delete;

    // A new connection; when the server, or its address, is close to its limit, others that
    // have sent least are cut to make room.
    Connection* opened(int socket, const QString& address, Clock::time_point now);
    void closed(Connection* connection);

    void requestLineRead(Connection* connection, Clock::time_point now);
    void headRead(Connection* connection, Clock::time_point now);
    // Bytes of the request's body received, or of the reply taken by the reader.
    void transferred(Connection* connection, qint64 bytes);
    void answering(Connection* connection);  // the request is being served
    void replying(Connection* connection, Clock::time_point now);
    void idle(Connection* connection, Clock::time_point now);  // ready for the next request
    // The HTTP library closed the connection in the middle of a request, nothing having come or
    // gone for its idle time-out; counted among the cuts.
    void timedOut(Connection* connection);

    // Cuts every connection past its deadline. Returns how many.
    int sweep(Clock::time_point now);
    // Connections not cut.
    std::size_t live() const;
    // What was cut since the last call, by reason and address, most first.
    std::vector<Cuts> takeCuts();

private:
    void makeRoom(const QString* address, std::size_t count, const Connection* keep);
    void cut(Connection* connection, Reason reason);

    WatchLimits limits_;
    Cut cut_;
    mutable std::mutex mutex_;
    std::unordered_set<Connection*> connections_;
    QHash<QString, unsigned> perAddress_;  // live connections
    std::size_t live_ = 0;
    QHash<QPair<int, QString>, int> cuts_;  // since takeCuts(), by reason and address
};

}  // namespace centeremp::server
