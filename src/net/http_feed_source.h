#pragma once

#include "net/feed_source.h"
#include "net/transfer_limits.h"

class SignIn;

// The feed over libcurl's blocking interface: the path goes out exactly as given, and a body
// cut short, a stall, a body over the cap or a certificate that does not verify is a failure,
// never a document. With a sign-in, a 401 asks for credentials and the GET goes again.
class HttpFeedSource : public FeedSource {
public:
    explicit HttpFeedSource(TransferLimits limits = {}, SignIn* signIn = nullptr) : limits_(limits), signIn_(signIn) {}
    QByteArray get(const QString& address) override;

private:
    TransferLimits limits_;
    SignIn* signIn_;
};
