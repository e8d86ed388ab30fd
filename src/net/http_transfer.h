#pragma once

#include "net/transfer.h"
#include "net/transfer_limits.h"

#include <QTimer>
#include <memory>
#include <unordered_map>

class SignIn;

// The POST of a batch over libcurl's multi interface, driven from the thread's event loop so
// that the commit's wait keeps the window alive. The request goes out once, on a connection of
// its own, to exactly the path given, and is never redirected. It is sent again only when the
// server answered 401, which applies nothing, and the sign-in has credentials to try. A reply
// counts as received only when its whole body arrived as framed. It also fetches the feed
// ("Get") for a program that must not wait for it: with the feed's cap, its redirects and its
// failure texts, as the blocking GET does.
class HttpTransfer : public Transfer {
    Q_OBJECT
public:
    explicit HttpTransfer(TransferLimits limits = {}, SignIn* signIn = nullptr);
    ~HttpTransfer() override;

    void execute(const QString& url, const QString& operation, const QByteArray& data, const QString& headers) override;
    bool stillExecuting() const override { return executing_; }
    QString getChunk(int size) override;
    bool delivered() const override { return delivered_; }
    QString failure() const override { return failure_; }
    QString reply() const override { return body_; }
    // The body of the last complete answer as the bytes that came, for a feed.
    const QByteArray& replyBytes() const { return bodyBytes_; }

    // The limits of the requests executed from now on.
    void setLimits(const TransferLimits& limits) { limits_ = limits; }
    const TransferLimits& limits() const { return limits_; }
    // Ends the request in flight without a notification; what it sent may have reached the server.
    void abort();

private:
    struct Request;
    struct SocketWatch;
    // libcurl's callbacks: the sockets it wants watched, and when it wants to be called again.
    static int watchSocket(void* easy, int socket, int what, void* self, void* socketData);
    static int scheduleTimeout(void* multi, long timeoutMs, void* self);
    void socketAction(int socket, int events);
    // Hands the request to libcurl; false when it would not take it.
    bool send();
    void finish(int curlCode, const QString& reason = {});
    // After a 401: the request goes again with new credentials, or ends with the sign-in's reason.
    void answerChallenge();

    TransferLimits limits_;
    SignIn* signIn_;
    void* multi_;  // CURLM
    std::unique_ptr<Request> request_;
    std::unordered_map<int, std::unique_ptr<SocketWatch>> sockets_;
    QTimer curlTimeout_;
    QTimer stallCheck_;
    bool executing_ = false;
    bool delivered_ = false;
    QString failure_;
    QString body_;
    QByteArray bodyBytes_;
    qsizetype handedOut_ = 0;
};
