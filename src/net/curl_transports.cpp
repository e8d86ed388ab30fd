// The two libcurl transports, the feed's blocking GET and the batch's event-driven POST, and
// what they share: address handling, verified TLS, sign-in, the body cap, the stall watch and
// failure texts.

#include "net/http_feed_source.h"
#include "net/http_transfer.h"
#include "rules/texts.h"

#include "net/sign_in.h"
#include "rules/runtime_error.h"

#include <curl/curl.h>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QUrl>

#include <memory>

namespace {

const QString kFeedSource = QStringLiteral("FeedDocument");
const QString kTransferSource = QStringLiteral("Inet1");
constexpr int kStallCheckMs = 100;
constexpr long kUnauthorized = 401;
constexpr long kTooManyRequests = 429;
// A reason the server gives in its body is shown up to this many characters.
constexpr qsizetype kReasonLength = 200;

void initialiseCurlOnce() {
    static const CURLcode ready = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (ready != CURLE_OK) throw std::runtime_error("libcurl could not be initialised");
}

bool isWebAddress(const QString& address) {
    const QUrl url(address, QUrl::StrictMode);
    return url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
           !url.host().isEmpty();
}

// The address as it goes on the wire: what the control built, byte for byte, with only the
// bytes that cannot stand in a request line escaped. Nothing is folded or normalised.
QByteArray wireAddress(const QString& address) {
    QByteArray wire;
    for (const char byte : address.toUtf8()) {
        const auto b = static_cast<unsigned char>(byte);
        if (b <= 0x20 || b >= 0x7f) {
            wire += '%';
            wire += QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
        } else {
            wire += byte;
        }
    }
    return wire;
}

QString mebibytes(qint64 bytes) { return Texts::tr("%1 MiB").arg(bytes / (1024 * 1024)); }

// A body that grows into a buffer up to its cap; the size the server announces is reserved
// at once, so a feed costs its own size and not the doubling of a growing buffer. libcurl's
// own words about a failure land beside it.
struct BodySink {
    CURL* curl = nullptr;
    qint64 cap = 0;
    QByteArray data;
    bool tooLarge = false;
    char detail[CURL_ERROR_SIZE] = {};

    // Empty again, for the same request sent once more.
    void restart() {
        data.clear();
        tooLarge = false;
        detail[0] = '\0';
    }

    static size_t write(char* bytes, size_t size, size_t count, void* self) {
        auto* sink = static_cast<BodySink*>(self);
        const size_t length = size * count;
        if (sink->data.isEmpty()) {
            curl_off_t announced = -1;
            curl_easy_getinfo(sink->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
            if (announced > 0 && announced <= sink->cap) sink->data.reserve(qsizetype(announced));
        }
        if (sink->data.size() + qint64(length) > sink->cap) {
            sink->tooLarge = true;
            return 0;  // libcurl ends the transfer with a write error
        }
        sink->data.append(bytes, qsizetype(length));
        return length;
    }
};

// TLS as every request uses it: the peer's certificate and its name are always verified, against
// the system's trusted certificates or those that OpenSSL's SSL_CERT_FILE and SSL_CERT_DIR name
// (which libcurl does not read itself), over TLS 1.2 or later.
void setTlsOptions(CURL* curl) {
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2));
    // libcurl copies the texts it is given.
    if (const QByteArray file = qgetenv("SSL_CERT_FILE"); !file.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, file.constData());
    if (const QByteArray dir = qgetenv("SSL_CERT_DIR"); !dir.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAPATH, dir.constData());
}

// The options every request shares: exact path, web schemes only, verified TLS, stall and
// deadline limits.
void setCommonOptions(CURL* curl, const QByteArray& address, const TransferLimits& limits, BodySink& sink) {
    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // Straight to the server, as the control always went: no proxy from the environment.
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(limits.inactivity.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(limits.deadline.count()));
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(sink.cap));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &BodySink::write);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, sink.detail);
    setTlsOptions(curl);
    sink.curl = curl;
}

// Basic credentials on the request, or none. libcurl sends them only to the host they were
// meant for, not to one a redirect points at.
void carryCredentials(CURL* curl, const std::optional<Credentials>& credentials) {
    if (!credentials) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, nullptr);
        curl_easy_setopt(curl, CURLOPT_PASSWORD, nullptr);
        return;
    }
    curl_easy_setopt(curl, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
    curl_easy_setopt(curl, CURLOPT_USERNAME, credentials->user.toUtf8().constData());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, credentials->password.toUtf8().constData());
}

// Every value of the answer's header of that name, joined as one list.
QByteArray headerOf(CURL* curl, const char* name) {
    QByteArray value;
    curl_header* header = nullptr;
    for (size_t index = 0;
         curl_easy_header(curl, name, index, CURLH_HEADER, -1, &header) == CURLHE_OK && index < header->amount;
         ++index) {
        if (!value.isEmpty()) value += ", ";
        value += header->value;
    }
    return value;
}

// Text from the server as it may stand in a notice: one line, no control characters, a sane length.
QString shownText(const QString& text) {
    qsizetype end = 0;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
    QString shown = text.left(end).trimmed();
    for (QChar& c : shown)
        if (!c.isPrint()) c = u'?';
    if (shown.size() > kReasonLength) shown = shown.left(kReasonLength) + QChar(u'\u2026');
    return shown;
}

// "status N", with the reason the server wrote as plain text and, when it asks for a pause,
// when to try again.
QString statusWithReason(CURL* curl, long status, const QByteArray& body) {
    QString text = Texts::tr("status %1").arg(status);
    const char* type = nullptr;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type);
    if (type && QByteArray(type).trimmed().toLower().startsWith("text/plain")) {
        if (const QString reason = shownText(QString::fromUtf8(body)); !reason.isEmpty())
            text += QStringLiteral(": ") + reason;
    }
    if (status == kTooManyRequests) {
        const QString after = shownText(QString::fromLatin1(headerOf(curl, "Retry-After")));
        bool seconds = false;
        after.toLongLong(&seconds);
        if (seconds)
            text += Texts::tr("; try again in %1 seconds").arg(after);
        else if (!after.isEmpty())
            text += Texts::tr("; try again after %1").arg(after);
    }
    return text;
}

// Watches a request for signs of life: any byte sent or received. libcurl's own low-speed check
// averages over whole seconds and misses a server that goes silent right after its headers.
class StallWatch {
public:
    explicit StallWatch(std::chrono::milliseconds inactivity) : inactivity_(inactivity) { sinceLastByte_.start(); }

    bool stalled(CURL* curl) {
        curl_off_t sent = 0, received = 0;
        long headerBytes = 0;
        curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &sent);
        curl_easy_getinfo(curl, CURLINFO_SIZE_DOWNLOAD_T, &received);
        curl_easy_getinfo(curl, CURLINFO_HEADER_SIZE, &headerBytes);
        const qint64 bytes = qint64(sent) + qint64(received) + headerBytes;
        if (bytes != bytesSeen_) {
            bytesSeen_ = bytes;
            sinceLastByte_.start();
            return false;
        }
        return std::chrono::milliseconds(sinceLastByte_.elapsed()) >= inactivity_;
    }

private:
    std::chrono::milliseconds inactivity_;
    QElapsedTimer sinceLastByte_;
    qint64 bytesSeen_ = 0;
};

QString stalledReason() { return Texts::tr("the server stopped answering"); }

// The failures that need nothing but a sentence.
struct PlainFailure {
    CURLcode code;
    const char* text;
};
constexpr PlainFailure kPlainFailures[] = {
    {CURLE_PARTIAL_FILE, QT_TRANSLATE_NOOP("Texts", "the server's answer was cut short")},
    {CURLE_GOT_NOTHING, QT_TRANSLATE_NOOP("Texts", "the server closed the connection without answering")},
    {CURLE_RECV_ERROR, QT_TRANSLATE_NOOP("Texts", "the connection broke while the answer arrived")},
    {CURLE_SEND_ERROR, QT_TRANSLATE_NOOP("Texts", "the connection broke while the request was sent")},
    {CURLE_COULDNT_CONNECT,
     QT_TRANSLATE_NOOP("Texts", "the server could not be reached (nothing answers at that address)")},
    {CURLE_COULDNT_RESOLVE_HOST, QT_TRANSLATE_NOOP("Texts", "the server's name could not be found")},
    {CURLE_TOO_MANY_REDIRECTS, QT_TRANSLATE_NOOP("Texts", "the server sent the request round in circles")},
};

// Why a request failed, in words an operator understands.
QString describeFailure(CURL* curl, CURLcode code, const BodySink& sink, const TransferLimits& limits) {
    const QString detail = shownText(QString::fromUtf8(sink.detail));
    const QString because = detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(detail);
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT: {
        curl_off_t total = 0;
        curl_easy_getinfo(curl, CURLINFO_TOTAL_TIME_T, &total);
        // Microseconds; the stall check fires well before the deadline, never near it.
        if (total / 1000 >= limits.deadline.count() * 9 / 10)
            return Texts::tr("the server did not finish its answer within %1 seconds")
                .arg(QString::number(double(limits.deadline.count()) / 1000.0));
        return stalledReason();
    }
    case CURLE_WRITE_ERROR:
    case CURLE_FILESIZE_EXCEEDED:
        if (sink.tooLarge || code == CURLE_FILESIZE_EXCEEDED)
            return Texts::tr("the server's answer is larger than %1").arg(mebibytes(sink.cap));
        break;
    case CURLE_PEER_FAILED_VERIFICATION: return Texts::tr("the server's certificate could not be verified") + because;
    case CURLE_SSL_CACERT_BADFILE: return Texts::tr("the trusted certificates could not be read") + because;
    case CURLE_SSL_CONNECT_ERROR: return Texts::tr("a secure connection to the server could not be set up") + because;
    default: break;
    }
    for (const PlainFailure& failure : kPlainFailures)
        if (failure.code == code) return Texts::tr(failure.text);
    return Texts::tr("the transfer failed (%1)")
        .arg(detail.isEmpty() ? QString::fromUtf8(curl_easy_strerror(code)) : detail);
}

long statusOf(CURL* curl) {
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

struct EasyDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

EasyHandle newEasyHandle() {
    initialiseCurlOnce();
    EasyHandle curl(curl_easy_init());
    if (!curl) throw std::runtime_error("libcurl could not start a request");
    return curl;
}

RuntimeError feedError(const QString& reason) { return {errors::FeedUnavailable, kFeedSource, reason}; }

// A feed may move; it may not move from a secure address to a plain one.
void followFeedRedirects(CURL* curl, const QByteArray& wire) {
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, wire.startsWith("https:") ? "https" : "http,https");
}

// Why a feed that came with a status other than success is no feed.
QString feedStatusFailure(CURL* curl, long status, const QByteArray& body) {
    return Texts::tr("the server answered with %1").arg(statusWithReason(curl, status, body));
}

// One blocking GET of the feed, its body into the sink; raises a runtime error when no
// complete answer came.
void fetch(CURL* curl, BodySink& sink, const TransferLimits& limits) {
    sink.restart();
    // The blocking wait runs no event of the thread: nothing else of the control may run
    // while a load reads its feed.
    const std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> owner(curl_multi_init(), &curl_multi_cleanup);
    CURLM* multi = owner.get();
    if (!multi || curl_multi_add_handle(multi, curl) != CURLM_OK) throw feedError(Texts::tr("libcurl could not start"));
    StallWatch watch(limits.inactivity);
    CURLcode code = CURLE_OK;
    bool stalled = false;
    for (int running = 1; running > 0;) {
        curl_multi_perform(multi, &running);
        if (running == 0) break;
        if ((stalled = watch.stalled(curl))) break;
        curl_multi_poll(multi, nullptr, 0, kStallCheckMs, nullptr);
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued))
        if (message->msg == CURLMSG_DONE) code = message->data.result;
    curl_multi_remove_handle(multi, curl);
    if (stalled) throw feedError(stalledReason());
    if (code != CURLE_OK) throw feedError(describeFailure(curl, code, sink, limits));
}

}  // namespace

QByteArray HttpFeedSource::get(const QString& address) {
    if (!isWebAddress(address)) throw feedError(Texts::tr("\"%1\" is not a web address").arg(address));
    const EasyHandle curl = newEasyHandle();
    BodySink sink;
    sink.cap = limits_.maxBody > 0 ? limits_.maxBody : TransferLimits::kFeedCap;
    const QByteArray wire = wireAddress(address);
    setCommonOptions(curl.get(), wire, limits_, sink);
    followFeedRedirects(curl.get(), wire);

    // A GET changes nothing: after a 401 it goes again with the credentials the operator gave.
    SignInRound signIn(signIn_, address);
    if (!signIn.failure().isEmpty()) throw feedError(signIn.failure());
    while (true) {
        carryCredentials(curl.get(), signIn.credentials());
        fetch(curl.get(), sink, limits_);
        const long status = statusOf(curl.get());
        if (status == kUnauthorized && signIn.challenged(headerOf(curl.get(), "WWW-Authenticate"))) continue;
        if (!signIn.failure().isEmpty()) throw feedError(signIn.failure());
        if (status != kUnauthorized) signIn.answered();
        if (status < 200 || status > 299) throw feedError(feedStatusFailure(curl.get(), status, sink.data));
        return std::move(sink.data);
    }
}

// One POST in flight: its handle and everything libcurl reads from or writes to while it runs.
struct HttpTransfer::Request {
    EasyHandle curl;
    QByteArray address;
    QByteArray data;
    curl_slist* headers = nullptr;
    BodySink sink;
    StallWatch watch;
    SignInRound signIn;
    QByteArray challenge;  // the WWW-Authenticate of a 401, until it is answered
    bool get = false;      // a GET of the feed rather than the POST of a batch

    Request(std::chrono::milliseconds inactivity, SignIn* signIn, const QString& url)
        : watch(inactivity), signIn(signIn, url) {}
    ~Request() { curl_slist_free_all(headers); }
};

// The notifiers of one socket libcurl asked to watch.
struct HttpTransfer::SocketWatch {
    std::unique_ptr<QSocketNotifier> read;
    std::unique_ptr<QSocketNotifier> write;

    ~SocketWatch() {
        // A notifier may be the one whose signal is running: let the loop delete it.
        for (auto* notifier : {read.release(), write.release()}) {
            if (!notifier) continue;
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
};

HttpTransfer::HttpTransfer(TransferLimits limits, SignIn* signIn) : limits_(limits), signIn_(signIn) {
    initialiseCurlOnce();
    multi_ = curl_multi_init();
    if (!multi_) throw std::runtime_error("libcurl could not start");
    // libcurl says which sockets to watch and when to call it back; the event loop does the
    // waiting, so the window lives while the request runs.
    curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &HttpTransfer::watchSocket);
    curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &HttpTransfer::scheduleTimeout);
    curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
    curlTimeout_.setSingleShot(true);
    connect(&curlTimeout_, &QTimer::timeout, this, [this] { socketAction(CURL_SOCKET_TIMEOUT, 0); });
    stallCheck_.setInterval(kStallCheckMs);
    connect(&stallCheck_, &QTimer::timeout, this, [this] {
        if (request_ && request_->watch.stalled(request_->curl.get()))
            finish(CURLE_OPERATION_TIMEDOUT, stalledReason());
    });
}

HttpTransfer::~HttpTransfer() {
    if (request_) curl_multi_remove_handle(multi_, request_->curl.get());
    request_.reset();
    curl_multi_cleanup(multi_);
    sockets_.clear();
}

void HttpTransfer::abort() {
    if (!executing_) return;
    stallCheck_.stop();
    curlTimeout_.stop();
    if (request_) curl_multi_remove_handle(multi_, request_->curl.get());
    request_.reset();
    failure_ = Texts::tr("the request was cancelled");
    executing_ = false;
}

void HttpTransfer::execute(const QString& url, const QString& operation, const QByteArray& data,
                           const QString& headers) {
    if (executing_)
        throw RuntimeError(errors::TransferBusy, kTransferSource, QStringLiteral("Still executing last request"));
    if (!isWebAddress(url))
        throw RuntimeError(errors::TransferFailed, kTransferSource, Texts::tr("\"%1\" is not a web address").arg(url));
    const bool post = operation.compare(QLatin1String("Post"), Qt::CaseInsensitive) == 0;
    const bool get = operation.compare(QLatin1String("Get"), Qt::CaseInsensitive) == 0;
    if (!post && !get)
        throw RuntimeError(errors::TransferFailed, kTransferSource,
                           QStringLiteral("Unsupported operation %1").arg(operation));

    auto request = std::make_unique<Request>(limits_.inactivity, signIn_, url);
    if (!request->signIn.failure().isEmpty())
        throw RuntimeError(errors::TransferFailed, kTransferSource, request->signIn.failure());
    request->curl = newEasyHandle();
    request->address = wireAddress(url);
    request->data = data;
    request->get = get;
    request->sink.cap =
        limits_.maxBody > 0 ? limits_.maxBody : (get ? TransferLimits::kFeedCap : TransferLimits::kReplyCap);
    CURL* curl = request->curl.get();
    setCommonOptions(curl, request->address, limits_, request->sink);
    if (get) {
        // The feed, as the blocking GET fetches it, without blocking.
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
        followFeedRedirects(curl, request->address);
    } else {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request->data.constData());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request->data.size()));
    }
    // A connection of its own, closed after the reply: a request on a reused connection that
    // the server has dropped would be sent a second time.
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    for (const QString& line : headers.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        request->headers = curl_slist_append(request->headers, line.toLatin1().constData());
    // The body goes at once, without waiting for a go-ahead that not every server sends.
    request->headers = curl_slist_append(request->headers, "Expect:");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, request->headers);

    request_ = std::move(request);
    if (!send()) {
        request_.reset();
        throw RuntimeError(errors::TransferFailed, kTransferSource, Texts::tr("The request could not be started"));
    }
    body_.clear();
    bodyBytes_.clear();
    handedOut_ = 0;
    delivered_ = false;
    failure_.clear();
    executing_ = true;
    emit stateChanged(StateRequesting);
}

bool HttpTransfer::send() {
    Request& request = *request_;
    CURL* curl = request.curl.get();
    carryCredentials(curl, request.signIn.credentials());
    request.sink.restart();
    request.watch = StallWatch(limits_.inactivity);
    if (curl_multi_add_handle(multi_, curl) != CURLM_OK) return false;
    // Adding the handle asked libcurl's timer to fire at once: the request starts on the next
    // turn of the event loop, and every later notification reaches the caller in its wait.
    stallCheck_.start();
    return true;
}

int HttpTransfer::watchSocket(void*, int socket, int what, void* self, void*) {
    auto* transfer = static_cast<HttpTransfer*>(self);
    if (what == CURL_POLL_REMOVE) {
        transfer->sockets_.erase(socket);
        return 0;
    }
    auto& watch = transfer->sockets_[socket];
    if (!watch) watch = std::make_unique<SocketWatch>();
    const auto wants = [&](std::unique_ptr<QSocketNotifier>& notifier, QSocketNotifier::Type type, bool on, int event) {
        if (!on) {
            if (notifier) notifier->setEnabled(false);
            return;
        }
        if (!notifier) {
            notifier = std::make_unique<QSocketNotifier>(socket, type);
            connect(notifier.get(), &QSocketNotifier::activated, transfer,
                    [transfer, socket, event] { transfer->socketAction(socket, event); });
        }
        notifier->setEnabled(true);
    };
    wants(watch->read, QSocketNotifier::Read, what & CURL_POLL_IN, CURL_CSELECT_IN);
    wants(watch->write, QSocketNotifier::Write, what & CURL_POLL_OUT, CURL_CSELECT_OUT);
    return 0;
}

int HttpTransfer::scheduleTimeout(void*, long timeoutMs, void* self) {
    auto* transfer = static_cast<HttpTransfer*>(self);
    if (timeoutMs < 0)
        transfer->curlTimeout_.stop();
    else
        transfer->curlTimeout_.start(int(timeoutMs));
    return 0;
}

void HttpTransfer::socketAction(int socket, int events) {
    int running = 0;
    curl_multi_socket_action(multi_, socket, events, &running);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
        if (message->msg == CURLMSG_DONE && request_ && message->easy_handle == request_->curl.get()) {
            finish(message->data.result);
            return;
        }
    }
}

void HttpTransfer::finish(int curlCode, const QString& reason) {
    stallCheck_.stop();
    curlTimeout_.stop();
    CURL* curl = request_->curl.get();
    curl_multi_remove_handle(multi_, curl);
    const auto code = static_cast<CURLcode>(curlCode);
    if (code == CURLE_OK && signIn_ && statusOf(curl) == kUnauthorized) {
        // Nothing was applied. The operator is asked from the event loop, not from inside
        // libcurl's notification; the transfer executes until the request goes again or ends.
        request_->challenge = headerOf(curl, "WWW-Authenticate");
        // A request aborted meanwhile is not answered, nor one started after it.
        QTimer::singleShot(0, this, [this, request = request_.get()] {
            if (request_.get() == request) answerChallenge();
        });
        return;
    }
    std::unique_ptr<Request> request = std::move(request_);
    if (code == CURLE_OK) {
        // The server answered in full: hand its text out, whatever the status, and tell the
        // caller whether the batch was taken.
        const long status = statusOf(curl);
        if (status != kUnauthorized) request->signIn.answered();
        body_ = QString::fromUtf8(request->sink.data);
        delivered_ = status >= 200 && status <= 299;
        if (!delivered_)
            failure_ = request->get ? feedStatusFailure(curl, status, request->sink.data)
                                    : Texts::tr("the server refused the changes (%1)")
                                          .arg(statusWithReason(curl, status, request->sink.data));
        bodyBytes_ = std::move(request->sink.data);
        request.reset();
        emit stateChanged(StateResponseReceived);
        emit stateChanged(StateResponseCompleted);
    } else {
        failure_ = reason.isEmpty() ? describeFailure(curl, code, request->sink, limits_) : reason;
        request.reset();
        emit stateChanged(StateError);
    }
    // The notifications above run before the transfer reports itself finished, so whoever
    // waits on stillExecuting sees the reply already handled.
    executing_ = false;
}

void HttpTransfer::answerChallenge() {
    if (!request_) return;
    if (request_->signIn.challenged(request_->challenge)) {
        if (send()) return;
        failure_ = Texts::tr("the request could not be started again");
    } else {
        failure_ = request_->signIn.failure();
    }
    request_.reset();
    emit stateChanged(StateError);
    executing_ = false;
}

QString HttpTransfer::getChunk(int size) {
    if (size <= 0) return {};
    const QString chunk = body_.mid(handedOut_, size);
    handedOut_ += chunk.size();
    return chunk;
}
