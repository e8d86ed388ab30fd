#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

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
    // The whole body of the last complete answer, whatever getChunk has handed out of it; empty
    // when no answer came.
    virtual QString reply() const = 0;

signals:
    void stateChanged(int state);
};
