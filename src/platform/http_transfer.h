#pragma once

#include "platform/transfer.h"
#include "platform/transfer_limits.h"

#include <QTimer>
#include <memory>
#include <unordered_map>

// The POST of a batch over libcurl's multi interface, driven from the thread's event loop so
// that the commit's wait keeps the window alive. The request goes out once, on a connection of
// its own, to exactly the path given; it is never re-sent and never redirected. A reply counts
// as received only when its whole body arrived as framed.
class HttpTransfer : public Transfer {
    Q_OBJECT
public:
    explicit HttpTransfer(TransferLimits limits = {});
    ~HttpTransfer() override;

    void execute(const QString& url, const QString& operation, const QByteArray& data, const QString& headers) override;
    bool stillExecuting() const override { return executing_; }
    QString getChunk(int size) override;
    bool delivered() const override { return delivered_; }
    QString failure() const override { return failure_; }

private:
    struct Request;
    struct SocketWatch;
    // libcurl's callbacks: the sockets it wants watched, and when it wants to be called again.
    static int watchSocket(void* easy, int socket, int what, void* self, void* socketData);
    static int scheduleTimeout(void* multi, long timeoutMs, void* self);
    void socketAction(int socket, int events);
    void finish(int curlCode, const QString& reason = {});

    TransferLimits limits_;
    void* multi_;  // CURLM
    std::unique_ptr<Request> request_;
    std::unordered_map<int, std::unique_ptr<SocketWatch>> sockets_;
    QTimer curlTimeout_;
    QTimer stallCheck_;
    bool executing_ = false;
    bool delivered_ = false;
    QString failure_;
    QString body_;
    qsizetype handedOut_ = 0;
};
