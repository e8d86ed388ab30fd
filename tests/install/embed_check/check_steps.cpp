#include "check_steps.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTextStream>
#include <QXmlStreamReader>

namespace {
int failures = 0;
}

void check(bool ok, const QString& what) {
    if (!ok) ++failures;
    QTextStream(ok ? stdout : stderr) << (ok ? "ok: " : "FAILED: ") << what << Qt::endl;
}

int failedChecks() { return failures; }

DemoServer::DemoServer(const QString& program, const QString& database) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(program, {QStringLiteral("--db"), database, QStringLiteral("--demo"), QStringLiteral("--listen"),
                             QStringLiteral("127.0.0.1:0")});
    while (url_.isEmpty() && process_.waitForReadyRead(10000)) {
        while (process_.canReadLine()) {
            const QString line = QString::fromUtf8(process_.readLine()).trimmed();
            if (line.startsWith(QStringLiteral("listening on "))) url_ = line.mid(13);
        }
    }
}

DemoServer::~DemoServer() {
    process_.terminate();
    if (!process_.waitForFinished(10000)) process_.kill();
    process_.waitForFinished(5000);
}

QByteArray httpGet(const QString& url) {
    QNetworkAccessManager network;
    QNetworkReply* reply = network.get(QNetworkRequest(QUrl(url)));
    QEventLoop wait;
    QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
    wait.exec();
    const QByteArray body = reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
    reply->deleteLater();
    return body;
}

FeedCounts countFeed(const QByteArray& feed) {
    FeedCounts counts;
    int* current = nullptr;
    QXmlStreamReader xml(feed);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("NonSelectedEmployees")) {
            counts.nonSelected = 0;
            current = &counts.nonSelected;
        } else if (xml.name() == QLatin1String("SelectedEmployees")) {
            counts.selected = 0;
            current = &counts.selected;
        } else if (xml.name() == QLatin1String("Employee") && current) {
            ++*current;
        }
    }
    if (xml.hasError()) return {};
    return counts;
}

LoopStallWatch::LoopStallWatch() {
    sinceTurn_.start();
    delayAtTurn_ = runDelayNs();
    QObject::connect(&turn_, &QTimer::timeout, [this] {
        const qint64 delay = runDelayNs();
        longestNs_ = std::max(longestNs_, sinceTurn_.nsecsElapsed() - (delay - delayAtTurn_));
        sinceTurn_.restart();
        delayAtTurn_ = delay;
    });
    turn_.start(5);
}

qint64 LoopStallWatch::runDelayNs() {
    QFile stat(QStringLiteral("/proc/thread-self/schedstat"));
    if (!stat.open(QIODevice::ReadOnly)) return 0;  // without it, every gap counts whole
    const QList<QByteArray> fields = stat.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() : 0;
}
