#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

// A failed check is counted and printed; each passed one is printed too.
void check(bool ok, const QString& what);
int failedChecks();

// centeremp-server of the prefix on a free loopback port with a new demo database.
class DemoServer {
public:
    DemoServer(const QString& program, const QString& database);
    ~DemoServer();
    QString url() const { return url_; }

private:
    QProcess process_;
    QString url_;
};

// The body of a GET, or an empty array when the request failed.
QByteArray httpGet(const QString& url);

// The number of employees in each list of a feed; -1 when the feed has no such list.
struct FeedCounts {
    int nonSelected = -1;
    int selected = -1;
};
FeedCounts countFeed(const QByteArray& feed);

// The longest time the thread's event loop went without a turn while it runs: a timer turns
// every 5 ms, and each gap counts without the time the system kept the thread waiting for a
// processor (its run delay in /proc/thread-self/schedstat), which a busy machine adds to any
// program and which says nothing about this one.
class LoopStallWatch {
public:
    LoopStallWatch();
    qint64 longestMs() const { return longestNs_ / 1000000; }

private:
    static qint64 runDelayNs();
    QTimer turn_;
    QElapsedTimer sinceTurn_;
    qint64 delayAtTurn_ = 0;
    qint64 longestNs_ = 0;
};
