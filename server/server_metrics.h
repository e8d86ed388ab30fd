#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <tuple>

namespace centeremp::server {

// The pages served: the resource the control reads and writes, and the three a monitor reads.
namespace pages {
constexpr QByteArrayView resource = "/CenterEmployee.asp";  // matched without regard to ASCII case
constexpr QByteArrayView health = "/healthz";
constexpr QByteArrayView ready = "/readyz";
constexpr QByteArrayView metrics = "/metrics";
}  // namespace pages

// What the HTTP server holds right now, read when the metrics are asked for.
struct ServerLoad {
    std::size_t openConnections = 0;
    std::size_t queuedReading = 0;  // requests waiting for a worker that loads pages
    std::size_t queuedWriting = 0;  // ... for one that saves batches
    int readers = 0;
    int writers = 0;
};

// Counters a monitor reads in the Prometheus text format: requests by page, method and status,
// a histogram of their times, batches and the rows they changed, database failures, and the
// server's load. Pages other than the served ones are counted as one, so that nothing a client
// sends makes the set grow. Thread-safe.
class ServerMetrics {
public:
    // Latency buckets' upper bounds, in seconds.
    static constexpr std::array<double, 11> latencyBounds = {0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10};

    void request(QByteArrayView path, QByteArrayView method, int status, qint64 milliseconds);
    void batchApplied(qint64 assigned, qint64 removed);
    void databaseFailed();
    // Where the server's load comes from; none: it is left out.
    void setLoad(std::function<ServerLoad()> load);

    QByteArray render() const;

private:
    mutable std::mutex mutex_;
    std::map<std::tuple<QByteArray, QByteArray, int>, quint64> requests_;  // page, method, status
    std::array<quint64, latencyBounds.size() + 1> latencyCounts_{};        // the last: above every bound
    double latencySum_ = 0;
    quint64 latencyCount_ = 0;
    std::function<ServerLoad()> load_;
    std::atomic<quint64> batches_{0};
    std::atomic<quint64> assigned_{0};
    std::atomic<quint64> removed_{0};
    std::atomic<quint64> databaseFailures_{0};
};

}  // namespace centeremp::server
