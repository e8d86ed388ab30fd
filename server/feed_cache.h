#pragma once

#include <QByteArray>
#include <QHash>

#include <mutex>
#include <optional>
#include <vector>

namespace centeremp::server {

// Centres' feeds as rendered, shared by every worker: a feed is rendered once for each state of
// the data and every reader is sent the same buffer. A budget bounds the memory; past it, the
// feeds kept are dropped. Thread-safe.
// SQLite: each worker's database connection counts the changes others commit (data_version); a
// count a worker has not seen before drops every kept feed, so a feed kept is never older than
// the data a request could see.
// PostgreSQL: a feed is kept with what it was rendered from, the transaction that last changed
// the employees and the centre's assigned IDs, both read by the request in one statement; the
// same two give the same feed.
class FeedCache {
public:
    explicit FeedCache(qsizetype budgetBytes = 32 * 1024 * 1024) : budget_(budgetBytes) {}

    // A worker's connection counts changeCount now; lastSeen is that worker's own record of
    // what it counted before. Returns the generation to find and keep feeds under.
    quint64 observe(std::optional<qint64>& lastSeen, qint64 changeCount);
    std::optional<QByteArray> find(qint32 centre, quint64 generation) const;
    // Nothing when the data has changed since generation.
    void keep(qint32 centre, quint64 generation, const QByteArray& feed);

    std::optional<QByteArray> findRendered(qint32 centre, qint64 listVersion,
                                           const std::vector<qint32>& assigned) const;
    void keepRendered(qint32 centre, qint64 listVersion, std::vector<qint32> assigned, const QByteArray& feed);

private:
    struct Rendered {
        qint64 listVersion = 0;
        std::vector<qint32> assigned;
        QByteArray feed;
        qsizetype bytes() const { return feed.size() + qsizetype(assigned.size() * sizeof(qint32)); }
    };
    // Makes room for bytes more within the budget; false when they would not fit at all.
    bool makeRoom(qsizetype bytes);

    qsizetype budget_;
    mutable std::mutex mutex_;
    quint64 generation_ = 0;
    QHash<qint32, QByteArray> feeds_;
    QHash<qint32, Rendered> rendered_;
    qsizetype bytes_ = 0;
};

}  // namespace centeremp::server
