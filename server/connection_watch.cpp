#include "server/connection_watch.h"

#include <algorithm>
#include <tuple>
#include <vector>

namespace centeremp::server {

namespace {

enum class Stage { Idle, Head, Body, Answering, Replying };

// Room is made in steps of a fiftieth of the limit, so that a flood does not cost a search of
// every connection for each new one.
unsigned step(unsigned limit) { return std::max(1u, limit / 50); }

// Why a connection that ran out of time at this stage is closed.
ConnectionWatch::Reason lateAt(Stage stage) {
    switch (stage) {
    case Stage::Idle: break;
    case Stage::Head: return ConnectionWatch::Reason::SlowHead;
    case Stage::Body: return ConnectionWatch::Reason::SlowBody;
    case Stage::Answering:
    case Stage::Replying: return ConnectionWatch::Reason::SlowReader;
    }
    return ConnectionWatch::Reason::Idle;
}

}  // namespace

struct ConnectionWatch::Connection {
    int socket;
    QString address;
    Stage stage = Stage::Idle;
    Clock::time_point since;
    qint64 bodyBytes = 0;    // of the request's body, or of the reply
    qint64 windowBytes = 0;  // body bytes when the current window began
    Clock::time_point windowStart;
    bool cut = false;
};

namespace {

// A body coming in or a reply going out: its bytes are counted afresh, window by window.
void startTransfer(ConnectionWatch::Connection& connection, Stage stage, ConnectionWatch::Clock::time_point now) {
    connection.stage = stage;
    connection.since = connection.windowStart = now;
    connection.bodyBytes = connection.windowBytes = 0;
}

}  // namespace

ConnectionWatch::ConnectionWatch(WatchLimits limits, Cut cut) : limits_(limits), cut_(std::move(cut)) {}

ConnectionWatch::~ConnectionWatch() {
    for (Connection* connection : connections_) delete connection;
}

ConnectionWatch::Connection* ConnectionWatch::opened(int socket, const QString& address, Clock::time_point now) {
    auto* connection = new Connection{socket, address, Stage::Idle, now, 0, 0, now, false};
    std::lock_guard lock(mutex_);
    connections_.insert(connection);
    ++live_;
    const unsigned fromAddress = ++perAddress_[address];
    if (limits_.connections > 0 && live_ > limits_.connections - step(limits_.connections))
        makeRoom(nullptr, step(limits_.connections), connection);
    if (limits_.perAddress > 0 && fromAddress > limits_.perAddress - step(limits_.perAddress))
        makeRoom(&address, step(limits_.perAddress), connection);
    return connection;
}

void ConnectionWatch::closed(Connection* connection) {
    {
        std::lock_guard lock(mutex_);
        connections_.erase(connection);
        if (!connection->cut) {
            --live_;
            if (--perAddress_[connection->address] == 0) perAddress_.remove(connection->address);
        }
    }
    delete connection;
}

void ConnectionWatch::requestLineRead(Connection* connection, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    connection->stage = Stage::Head;
    connection->since = now;
}

void ConnectionWatch::headRead(Connection* connection, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    startTransfer(*connection, Stage::Body, now);
}

void ConnectionWatch::transferred(Connection* connection, qint64 bytes) {
    std::lock_guard lock(mutex_);
    connection->bodyBytes += bytes;
}

void ConnectionWatch::answering(Connection* connection) {
    std::lock_guard lock(mutex_);
    connection->stage = Stage::Answering;
}

void ConnectionWatch::replying(Connection* connection, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    startTransfer(*connection, Stage::Replying, now);
}

void ConnectionWatch::idle(Connection* connection, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    connection->stage = Stage::Idle;
    connection->since = now;
}

void ConnectionWatch::timedOut(Connection* connection) {
    std::lock_guard lock(mutex_);
    ++cuts_[{int(lateAt(connection->stage)), connection->address}];
}

void ConnectionWatch::cut(Connection* connection, Reason reason) {
    connection->cut = true;
    ++cuts_[{int(reason), connection->address}];
    --live_;
    if (--perAddress_[connection->address] == 0) perAddress_.remove(connection->address);
    cut_(connection->socket);
}

// Least sent first: an idle connection, then one still sending its head, then one sending a
// body, by the bytes of it received; the oldest first among equals.
void ConnectionWatch::makeRoom(const QString* address, std::size_t count, const Connection* keep) {
    std::vector<Connection*> candidates;
    for (Connection* connection : connections_) {
        if (connection == keep || connection->cut || connection->stage >= Stage::Answering) continue;
        if (address && connection->address != *address) continue;
        candidates.push_back(connection);
    }
    const auto key = [](const Connection* c) { return std::tuple(int(c->stage), c->bodyBytes, c->since); };
    count = std::min(count, candidates.size());
    std::partial_sort(candidates.begin(), candidates.begin() + qsizetype(count), candidates.end(),
                      [&key](const Connection* a, const Connection* b) { return key(a) < key(b); });
    for (std::size_t i = 0; i < count; ++i) cut(candidates[i], Reason::MadeRoom);
}

int ConnectionWatch::sweep(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    int cuts = 0;
    for (Connection* connection : connections_) {
        if (connection->cut) continue;
        bool late = false;
        switch (connection->stage) {
        case Stage::Idle: late = now - connection->since > limits_.idle + limits_.head; break;
        case Stage::Head: late = now - connection->since > limits_.head; break;
        case Stage::Body:
        case Stage::Replying:
            if (now - connection->windowStart >= limits_.bodyWindow) {
                late = connection->bodyBytes - connection->windowBytes < limits_.minBodyBytes;
                connection->windowStart = now;
                connection->windowBytes = connection->bodyBytes;
            }
            break;
        case Stage::Answering: break;
        }
        if (late) {
            cut(connection, lateAt(connection->stage));
            ++cuts;
        }
    }
    return cuts;
}

std::vector<ConnectionWatch::Cuts> ConnectionWatch::takeCuts() {
    std::vector<Cuts> taken;
    {
        std::lock_guard lock(mutex_);
        for (auto cuts = cuts_.cbegin(); cuts != cuts_.cend(); ++cuts)
            taken.push_back({Reason(cuts.key().first), cuts.key().second, cuts.value()});
        cuts_.clear();
    }
    std::sort(taken.begin(), taken.end(), [](const Cuts& a, const Cuts& b) { return a.count > b.count; });
    return taken;
}

std::size_t ConnectionWatch::live() const {
    std::lock_guard lock(mutex_);
    return live_;
}

}  // namespace centeremp::server
