#pragma once

#include <QByteArray>
#include <QHash>

#include <mutex>
#include <optional>

namespace centeremp::server {

// Centres' feeds as rendered, shared by every worker: a feed is rendered once for each state of
// the data and every reader is sent the same buffer. Each worker's database connection counts
// the changes others commit (SQLite's data_version); a count a worker has not seen before drops
// every kept feed, so a feed kept is never older than the data a request could see. A budget
// bounds the memory; past it, the feeds kept are dropped. Thread-safe.
class FeedCache {
public:
    explicit FeedCache(qsizetype budgetBytes = 32 * 1024 * 1024) : budget_(budgetBytes) {}

    // A worker's connection counts changeCount now; lastSeen is that worker's own record of
    // what it counted before. Returns the generation to find and keep feeds under.
    quint64 observe(std::optional<qint64>& lastSeen, qint64 changeCount);
    std::optional<QByteArray> find(qint32 centre, quint64 generation) const;
    // Nothing when the data has changed since generation.
    void keep(qint32 centre, quint64 generation, const QByteArray& feed);

private:
    qsizetype budget_;
    mutable std::mutex mutex_;
    quint64 generation_ = 0;
    QHash<qint32, QByteArray> feeds_;
    qsizetype bytes_ = 0;
};

}  // namespace centeremp::server
