#include "server/feed_cache.h"

namespace centeremp::server {

quint64 FeedCache::observe(std::optional<qint64>& lastSeen, qint64 changeCount) {
    std::lock_guard lock(mutex_);
    if (lastSeen != changeCount) {
        lastSeen = changeCount;
        ++generation_;
        feeds_.clear();
        bytes_ = 0;
    }
    return generation_;
}

std::optional<QByteArray> FeedCache::find(qint32 centre, quint64 generation) const {
    std::lock_guard lock(mutex_);
    const auto kept = feeds_.constFind(centre);
    if (generation != generation_ || kept == feeds_.constEnd()) return std::nullopt;
    return *kept;
}

void FeedCache::keep(qint32 centre, quint64 generation, const QByteArray& feed) {
    std::lock_guard lock(mutex_);
    if (generation != generation_ || feed.size() > budget_) return;
    if (bytes_ + feed.size() > budget_) {
        feeds_.clear();
        bytes_ = 0;
    }
    bytes_ += feed.size() - feeds_.value(centre).size();
    feeds_.insert(centre, feed);
}

}  // namespace centeremp::server
