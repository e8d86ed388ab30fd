#pragma once

#include "platform/feed_source.h"
#include "platform/transfer_limits.h"

// The feed over libcurl's blocking interface: the path goes out exactly as given, and a body
// cut short, a stall or a body over the cap is a failure, never a document.
class HttpFeedSource : public FeedSource {
public:
    explicit HttpFeedSource(TransferLimits limits = {}) : limits_(limits) {}
    QByteArray get(const QString& address) override;

private:
    TransferLimits limits_;
};
