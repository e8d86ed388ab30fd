#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <chrono>

class QNetworkReply;

// Fetches the employee feed: a GET that returns only when the body has arrived, with a time-out.
// The window repaints meanwhile but takes no input. Raises a runtime error describing, for the
// operator, why nothing came back.
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

struct HttpLimits {
    std::chrono::milliseconds inactivity{15000};  // no byte for this long ends the request
    std::chrono::milliseconds deadline{60000};    // the request as a whole
    qint64 maxBody = 64 * 1024 * 1024;            // a larger answer is refused
};

class QtHttpFeedSource : public FeedSource {
public:
    explicit QtHttpFeedSource(HttpLimits limits = {}) : limits_(limits) {}
    QByteArray get(const QString& address) override;

private:
    QNetworkAccessManager network_;
    HttpLimits limits_;
};

class QtHttpTransfer : public Transfer {
    Q_OBJECT
public:
    explicit QtHttpTransfer(HttpLimits limits = {}) : limits_(limits) {}
    ~QtHttpTransfer() override;

    void execute(const QString& url, const QString& operation, const QByteArray& data,
                 const QString& headers) override;
    bool stillExecuting() const override { return executing_; }
    QString getChunk(int size) override;
    bool delivered() const override { return delivered_; }
    QString failure() const override { return failure_; }

private:
    void finish();

    QNetworkAccessManager network_;
    HttpLimits limits_;
    QPointer<QNetworkReply> reply_;
    bool executing_ = false;
    bool delivered_ = false;
    QString failure_;
    QString body_;
    qsizetype handedOut_ = 0;
};

// Only plain web addresses are fetched from: a relative or other-scheme address fails.
bool isWebAddress(const QUrl& url);
