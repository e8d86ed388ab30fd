#include "platform/http_transfer.h"

#include "platform/runtime_error.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace {
const QString kFeedSource = QStringLiteral("FeedDocument");
const QString kTransferSource = QStringLiteral("Inet1");

RuntimeError feedError(const QString& reason) { return {errors::FeedUnavailable, kFeedSource, reason}; }

QNetworkRequest requestFor(const QUrl& url, const HttpLimits& limits) {
    QNetworkRequest request(url);
    request.setTransferTimeout(int(limits.inactivity.count()));
    return request;
}
}  // namespace

bool isWebAddress(const QUrl& url) {
    return url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
           !url.host().isEmpty();
}

QByteArray QtHttpFeedSource::get(const QString& address) {
    const QUrl url(address, QUrl::StrictMode);
    if (!isWebAddress(url)) throw feedError(QStringLiteral("\"%1\" is not a web address").arg(address));

    QNetworkRequest request = requestFor(url, limits_);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = network_.get(request);

    QByteArray body;
    bool tooLarge = false;
    bool timedOut = false;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        body += reply->readAll();
        if (body.size() > limits_.maxBody) {
            tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    deadline.start(limits_.deadline);
    if (!reply->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!tooLarge) body += reply->readAll();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString errorText = reply->errorString();
    const auto error = reply->error();
    reply->deleteLater();

    if (tooLarge) throw feedError(QStringLiteral("the server's answer is larger than %1 bytes").arg(limits_.maxBody));
    if (timedOut) throw feedError(QStringLiteral("the server did not answer in time"));
    if (status != 0 && (status < 200 || status > 299))
        throw feedError(QStringLiteral("the server answered with status %1").arg(status));
    if (error != QNetworkReply::NoError) throw feedError(QStringLiteral("the server could not be reached (%1)").arg(errorText));
    return body;
}

QtHttpTransfer::~QtHttpTransfer() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void QtHttpTransfer::execute(const QString& url, const QString& operation, const QByteArray& data,
                             const QString& headers) {
    if (executing_) throw RuntimeError(errors::TransferBusy, kTransferSource, QStringLiteral("Still executing last request"));
    const QUrl address(url, QUrl::StrictMode);
    if (!isWebAddress(address))
        throw RuntimeError(errors::TransferFailed, kTransferSource, QStringLiteral("\"%1\" is not a web address").arg(url));
    if (operation.compare(QLatin1String("Post"), Qt::CaseInsensitive) != 0)
        throw RuntimeError(errors::TransferFailed, kTransferSource, QStringLiteral("Unsupported operation %1").arg(operation));

    QNetworkRequest request = requestFor(address, limits_);
    // A batch of statements goes exactly where it was addressed, or nowhere.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    for (const QString& line : headers.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(u':');
        if (colon > 0)
            request.setRawHeader(line.left(colon).trimmed().toLatin1(), line.mid(colon + 1).trimmed().toLatin1());
    }

    body_.clear();
    handedOut_ = 0;
    delivered_ = false;
    failure_.clear();
    executing_ = true;
    reply_ = network_.post(request, data);

    auto* deadline = new QTimer(reply_);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply_, [reply = reply_.data(), this] {
        failure_ = QStringLiteral("the server did not answer in time");
        reply->abort();
    });
    deadline->start(limits_.deadline);
    connect(reply_, &QNetworkReply::finished, this, &QtHttpTransfer::finish);
    emit stateChanged(StateRequesting);
}

void QtHttpTransfer::finish() {
    QNetworkReply* reply = reply_;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 0) {
        // The server answered: hand its text out, whatever the status, and tell the
        // caller whether the batch was taken.
        body_ = QString::fromUtf8(reply->readAll());
        delivered_ = status >= 200 && status <= 299;
        if (!delivered_) failure_ = QStringLiteral("the server refused the changes (status %1)").arg(status);
        reply->deleteLater();
        emit stateChanged(StateResponseReceived);
        emit stateChanged(StateResponseCompleted);
    } else {
        if (failure_.isEmpty()) failure_ = QStringLiteral("the server could not be reached (%1)").arg(reply->errorString());
        reply->deleteLater();
        emit stateChanged(StateError);
    }
    // The notifications above run before the transfer reports itself finished, so whoever
    // waits on stillExecuting sees the reply already handled.
    executing_ = false;
}

QString QtHttpTransfer::getChunk(int size) {
    if (size <= 0) return {};
    const QString chunk = body_.mid(handedOut_, size);
    handedOut_ += chunk.size();
    return chunk;
}
