#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

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
