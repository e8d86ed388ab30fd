#include "server/feed_cache.h"

namespace centeremp::server {

quint64 FeedCache::observe(std::optional<qint64>& lastSeen, qint64 changeCount) {
    std::lock_guard lock(mutex_);
    if (lastSeen != changeCount) {
        lastSeen = changeCount;
        ++generation_;
        for (const QByteArray& feed : std::as_const(feeds_)) bytes_ -= feed.size();
        feeds_.clear();
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
    if (generation != generation_) return;
    bytes_ -= feeds_.value(centre).size();
    feeds_.remove(centre);
    if (!makeRoom(feed.size())) return;
    bytes_ += feed.size();
    feeds_.insert(centre, feed);
}

std::optional<QByteArray> FeedCache::findRendered(qint32 centre, qint64 listVersion,
                                                  const std::vector<qint32>& assigned) const {
    std::lock_guard lock(mutex_);
    const auto kept = rendered_.constFind(centre);
    if (kept == rendered_.constEnd() || kept->listVersion != listVersion || kept->assigned != assigned)
        return std::nullopt;
    return kept->feed;
}

void FeedCache::keepRendered(qint32 centre, qint64 listVersion, std::vector<qint32> assigned, const QByteArray& feed) {
    Rendered rendered{listVersion, std::move(assigned), feed};
    std::lock_guard lock(mutex_);
    bytes_ -= rendered_.value(centre).bytes();
    rendered_.remove(centre);
    if (!makeRoom(rendered.bytes())) return;
    bytes_ += rendered.bytes();
    rendered_.insert(centre, std::move(rendered));
}

bool FeedCache::makeRoom(qsizetype bytes) {
    if (bytes > budget_) return false;
    if (bytes_ + bytes > budget_) {
        feeds_.clear();
        rendered_.clear();
        bytes_ = 0;
    }
    return true;
}

}  // namespace centeremp::server
