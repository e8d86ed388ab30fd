#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <memory>
#include <unordered_map>

// Fetches the employee feed: a GET that returns only when the whole body has arrived. It blocks
// the thread for its whole length and runs no event meanwhile. Raises a runtime error that says,
// for the operator, why nothing came back.
class FeedSource {
public:
    virtual ~FeedSource() = default;
    virtual QByteArray get(const QString& address) = 0;
};

// The internet transfer component: starts one request at a time, reports its progress through
// state notifications and hands the reply out in chunks.
class Transfer : public QObject {
    Q_OBJECT
public:
    // Published state numbers; the control acts on the last two.
    static constexpr int StateRequesting = 5;
    static constexpr int StateResponseReceived = 8;
    static constexpr int StateError = 11;
    static constexpr int StateResponseCompleted = 12;

    // Starts the request and returns; raises a runtime error when it cannot be started, also
    // while an earlier request is still executing.
    virtual void execute(const QString& url, const QString& operation, const QByteArray& data,
                         const QString& headers) = 0;
    virtual bool stillExecuting() const = 0;
    // The next piece of the reply body, at most size characters; empty once all is handed out.
    virtual QString getChunk(int size) = 0;
    // True when the last request reached the server and was answered with a success status.
    virtual bool delivered() const = 0;
    // Why the last request did not deliver, for the operator; empty when it did.
    virtual QString failure() const = 0;

signals:
    void stateChanged(int state);
};

struct TransferLimits {
    std::chrono::milliseconds inactivity{15000};  // no byte for this long: the server stopped answering
    std::chrono::milliseconds deadline{60000};  // the request as a whole
    qint64 maxBody = 0;                          // 0: the default cap of the kind of request

    // The largest feed of a centre is 32767 employees; at 512 bytes each (a name of 150
    // characters in any script, its ID and the markup) that is 16 MiB, and a real centre's
    // feed stays far below (1.6 MB for 32767 employees with ordinary names).
    static constexpr qint64 kFeedCap = 16 * 1024 * 1024;
    // The server's reply to a batch is a short text; naming every one of 32767 employees
    // it could not change takes under 400 KB.
    static constexpr qint64 kReplyCap = 1024 * 1024;
};

// The feed over libcurl's blocking interface: the path goes out exactly as given, and a body
// cut short, a stall or a body over the cap is a failure, never a document.
class HttpFeedSource : public FeedSource {
public:
    explicit HttpFeedSource(TransferLimits limits = {}) : limits_(limits) {}
    QByteArray get(const QString& address) override;

private:
    TransferLimits limits_;
};

// The POST of a batch over libcurl's multi interface, driven from the thread's event loop so
// that the commit's wait keeps the window alive. The request goes out once, on a connection of
// its own, to exactly the path given; it is never re-sent and never redirected. A reply counts
// as received only when its whole body arrived as framed.
class HttpTransfer : public Transfer {
    Q_OBJECT
public:
    explicit HttpTransfer(TransferLimits limits = {});
    ~HttpTransfer() override;

    void execute(const QString& url, const QString& operation, const QByteArray& data,
                 const QString& headers) override;
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
