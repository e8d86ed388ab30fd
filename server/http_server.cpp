#include "server/http_server.h"

#include "server/request_log.h"

#include <microhttpd.h>

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <arpa/inet.h>
#include <malloc.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

namespace centeremp::server {

HttpResponse HttpResponse::text(int status, const QString& message) {
    HttpResponse response;
    response.status = status;
    response.contentType = "text/plain; charset=utf-8";
    response.body = message.toUtf8();
    if (!response.body.endsWith('\n')) response.body.append('\n');
    return response;
}

struct HttpServer::Pending {
    HttpRequest request;
    QElapsedTimer timer;
    QByteArray target;                     // the request target as sent, up to a NUL byte if it has one
    const char* targetInBuffer = nullptr;  // where the library keeps the request line
    ConnectionWatch::Connection* watched = nullptr;
    bool begun = false;  // the head has been looked at
    qsizetype declaredLength = -1;
    qsizetype received = 0;
    bool tooLarge = false;
    bool overBudget = false;
    bool answered = false;  // set by the worker before it resumes the connection
    HttpResponse response;
};

namespace {

// The part of a reply worth a look in the log: what a person was told, not the XML.
QString logNoteFor(const HttpResponse& response) {
    if (!response.logNote.isEmpty()) return response.logNote;
    if (response.contentType.startsWith("text/xml")) return {};
    return QString::fromUtf8(response.body).trimmed().left(300);
}

// The client's IP address as text.
QString clientAddress(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr) return {};
    char text[INET6_ADDRSTRLEN] = {};
    const sockaddr* address = info->client_addr;
    if (address->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        if (!inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text)) return {};
        // An IPv4 client of a dual-stack socket is the IPv4 address it is.
        QString written = QString::fromLatin1(text);
        if (written.startsWith(u"::ffff:") && written.contains(u'.')) written = written.sliced(7);
        return written;
    }
    if (address->sa_family != AF_INET) return {};
    const auto* in4 = reinterpret_cast<const sockaddr_in*>(address);
    if (!inet_ntop(AF_INET, &in4->sin_addr, text, sizeof text)) return {};
    return QString::fromLatin1(text);
}

// The header fields that decide where a request ends and which host and page sent it.
struct HeadFields {
    int hosts = 0;
    int contentLengths = 0;
    int transferEncodings = 0;
    QByteArray transferEncoding;
    int origins = 0;
    QByteArray origin;
};

MHD_Result noteHeadField(void* cls, MHD_ValueKind, const char* key, size_t keySize, const char* value,
                         size_t valueSize) {
    auto* fields = static_cast<HeadFields*>(cls);
    const QByteArrayView name(key, qsizetype(keySize));
    const auto is = [&name](QByteArrayView wanted) { return name.compare(wanted, Qt::CaseInsensitive) == 0; };
    const QByteArray text = value ? QByteArray(value, qsizetype(valueSize)).trimmed() : QByteArray();
    if (is(MHD_HTTP_HEADER_HOST)) {
        ++fields->hosts;
    } else if (is(MHD_HTTP_HEADER_CONTENT_LENGTH)) {
        ++fields->contentLengths;
    } else if (is(MHD_HTTP_HEADER_TRANSFER_ENCODING)) {
        ++fields->transferEncodings;
        fields->transferEncoding = text;
    } else if (is(MHD_HTTP_HEADER_ORIGIN)) {
        ++fields->origins;
        fields->origin = text;
    }
    return MHD_YES;
}

// A control byte (or a space) in the target as sent, or one written as a percent escape: no
// name served here has one, and a path cut short at a NUL would name another resource.
bool hasControlByte(QByteArrayView target) {
    const auto isControl = [](unsigned char byte) { return byte < 0x20 || byte == 0x7F; };
    for (qsizetype i = 0; i < target.size(); ++i) {
        const auto byte = static_cast<unsigned char>(target[i]);
        if (isControl(byte) || byte == ' ') return true;
        if (byte == '%' && i + 2 < target.size() && std::isxdigit(target[i + 1]) && std::isxdigit(target[i + 2])) {
            if (isControl(static_cast<unsigned char>(target.sliced(i + 1, 2).toByteArray().toUInt(nullptr, 16))))
                return true;
        }
    }
    return false;
}

// GnuTLS suites for the HTTPS server: TLS 1.2 and 1.3 only, AEAD ciphers with forward-secret
// key exchange, the server's order first.
constexpr char tlsPriorities[] =
    "NORMAL:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2:-CIPHER-ALL:+AES-256-GCM:+AES-128-GCM:+CHACHA20-POLY1305:"
    "-MAC-ALL:+AEAD:-KX-ALL:+ECDHE-ECDSA:+ECDHE-RSA:%SERVER_PRECEDENCE";

}  // namespace

struct HttpCallbacks {
    // A reply's body, shared with whoever else holds it rather than copied. A small one goes out
    // with its head in one write and fits in the socket's buffer, so a reader that reads nothing
    // holds nothing here for longer than the idle time-out. A large one is handed to the library
    // as it can send it, and what it takes counts as the reader's progress.
    struct Outgoing {
        QByteArray body;
        ConnectionWatch* watch;
        ConnectionWatch::Connection* watched;
    };

    static ssize_t readOutgoing(void* cls, uint64_t position, char* buffer, size_t room) {
        auto* outgoing = static_cast<Outgoing*>(cls);
        const auto size = std::min<qsizetype>(qsizetype(room), outgoing->body.size() - qsizetype(position));
        if (size <= 0) return MHD_CONTENT_READER_END_OF_STREAM;
        std::memcpy(buffer, outgoing->body.constData() + position, std::size_t(size));
        outgoing->watch->transferred(outgoing->watched, size);
        return size;
    }

    static MHD_Response* outgoing(HttpServer* server, HttpServer::Pending* pending, const QByteArray& body) {
        constexpr qsizetype blockBytes = 32 * 1024;
        constexpr qsizetype smallBytes = 64 * 1024;
        auto* reply = new Outgoing{body, server->watch_.get(), pending->watched};
        const auto release = [](void* cls) { delete static_cast<Outgoing*>(cls); };
        MHD_Response* response = nullptr;
        if (body.size() <= smallBytes) {
            server->watch_->answering(pending->watched);
            response = MHD_create_response_from_buffer_with_free_callback_cls(
                std::size_t(body.size()), const_cast<char*>(reply->body.constData()), release, reply);
        } else {
            server->watch_->replying(pending->watched, ConnectionWatch::Clock::now());
            response = MHD_create_response_from_callback(uint64_t(body.size()), std::size_t(blockBytes), &readOutgoing,
                                                         reply, release);
        }
        if (!response) delete reply;
        return response;
    }

    static MHD_Result queue(HttpServer* server, MHD_Connection* connection, HttpServer::Pending* pending,
                            const HttpResponse& response) {
        RequestLogEntry entry;
        entry.when = QDateTime::currentDateTimeUtc();
        entry.address = pending->request.remoteAddress;
        entry.method = pending->request.method;
        entry.path = pending->request.path;
        entry.status = response.status;
        entry.milliseconds = pending->timer.elapsed();
        entry.operatorName = response.logOperator;
        entry.centre = response.logCentre;
        entry.note = logNoteFor(response);
        entry.requestId = pending->request.id;
        writeLog(requestLogLine(entry));
        if (server->metrics_)
            server->metrics_->request(pending->request.path, pending->request.method, response.status,
                                      entry.milliseconds);
        MHD_Response* reply = outgoing(server, pending, response.body);
        if (!reply) return MHD_NO;
        if (!response.contentType.isEmpty())
            MHD_add_response_header(reply, MHD_HTTP_HEADER_CONTENT_TYPE, response.contentType.constData());
        // Every answer names people or says something about them: no cache keeps it, and no
        // browser reads it as anything but what it says it is.
        MHD_add_response_header(reply, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
        MHD_add_response_header(reply, "X-Content-Type-Options", "nosniff");
        if (!pending->request.id.isEmpty())
            MHD_add_response_header(reply, "X-Request-Id", pending->request.id.constData());
        bool closes = false;
        for (const auto& [name, value] : response.headers) {
            MHD_add_response_header(reply, name.constData(), value.constData());
            closes = closes || name == MHD_HTTP_HEADER_CONNECTION;
        }
        // A stopping server takes no further request on this connection: the client asks anew,
        // and a load balancer sends that to another instance.
        if (!closes && server->stopping()) MHD_add_response_header(reply, MHD_HTTP_HEADER_CONNECTION, "close");
        const MHD_Result result = MHD_queue_response(connection, unsigned(response.status), reply);
        MHD_destroy_response(reply);
        return result;
    }

    static MHD_Result collectQuery(void* cls, MHD_ValueKind, const char* key, size_t keySize, const char* value,
                                   size_t valueSize) {
        auto* query = static_cast<std::vector<std::pair<QByteArray, QByteArray>>*>(cls);
        query->emplace_back(QByteArray(key, qsizetype(keySize)),
                            value ? QByteArray(value, qsizetype(valueSize)) : QByteArray());
        return MHD_YES;
    }

    static HttpResponse tooLarge(const HttpServer& server) {
        return HttpResponse::text(
            MHD_HTTP_CONTENT_TOO_LARGE,
            QStringLiteral("request body too large: at most %1 bytes are accepted").arg(server.limits_.maxBodyBytes));
    }

    static HttpResponse busy(const QString& message) {
        HttpResponse response = HttpResponse::text(MHD_HTTP_SERVICE_UNAVAILABLE, message);
        response.headers.emplace_back("Retry-After", "5");
        return response;
    }

    // A refusal of the request as framed: nothing more is read from that connection.
    static HttpResponse closing(int status, const QString& message) {
        HttpResponse response = HttpResponse::text(status, message);
        response.headers.emplace_back(MHD_HTTP_HEADER_CONNECTION, "close");
        return response;
    }

    // What the library lets through but HTTP/1.1 forbids, each a way for a proxy in front and
    // this server to read different requests from the same bytes, or a different page.
    static std::optional<HttpResponse> malformed(const HttpServer::Pending& pending, const HeadFields& fields,
                                                 const char* version) {
        // The library hands the target on as a C string, cut at a NUL byte, but keeps the request
        // line in its buffer, the version right after the target: a gap longer than the target
        // seen is a NUL inside it.
        const auto gap =
            reinterpret_cast<std::uintptr_t>(version) - reinterpret_cast<std::uintptr_t>(pending.targetInBuffer);
        if (gap != std::uintptr_t(pending.target.size()) + 1 || hasControlByte(pending.target))
            return closing(MHD_HTTP_BAD_REQUEST, QStringLiteral("bad request: a control character in the target"));
        const bool http10 = std::strcmp(version, MHD_HTTP_VERSION_1_0) == 0;
        if (fields.hosts > 1 || (fields.hosts == 0 && !http10))
            return closing(MHD_HTTP_BAD_REQUEST, QStringLiteral("bad request: exactly one Host header is needed"));
        if (fields.contentLengths > 1)
            return closing(MHD_HTTP_BAD_REQUEST, QStringLiteral("bad request: more than one Content-Length"));
        if (fields.transferEncodings > 0) {
            if (fields.contentLengths > 0)
                return closing(MHD_HTTP_BAD_REQUEST,
                               QStringLiteral("bad request: both Content-Length and Transfer-Encoding"));
            if (http10)
                return closing(MHD_HTTP_BAD_REQUEST, QStringLiteral("bad request: Transfer-Encoding in HTTP 1.0"));
            if (fields.transferEncodings > 1 || fields.transferEncoding.compare("chunked", Qt::CaseInsensitive) != 0)
                return closing(MHD_HTTP_NOT_IMPLEMENTED,
                               QStringLiteral("only the chunked transfer coding is understood"));
        }
        return std::nullopt;
    }

    // A browser says which page a request comes from; a page elsewhere may not change anything.
    static std::optional<HttpResponse> crossOrigin(const HttpServer& server, const HttpServer::Pending& pending,
                                                   const HeadFields& fields) {
        if (pending.request.method != MHD_HTTP_METHOD_POST || fields.origins == 0) return std::nullopt;
        const auto& trusted = server.limits_.trustedOrigins;
        if (fields.origins == 1 && std::find(trusted.begin(), trusted.end(), fields.origin.toLower()) != trusted.end())
            return std::nullopt;
        HttpResponse refusal =
            closing(MHD_HTTP_FORBIDDEN, QStringLiteral("nothing saved: requests from other web pages are refused"));
        refusal.logNote =
            QStringLiteral("nothing saved: Origin not trusted (%1)").arg(QString::fromLatin1(fields.origin.left(100)));
        return refusal;
    }

    // The request line has been read: the request's state starts here, with the target as sent.
    static void* onRequestLine(void* cls, const char* uri, MHD_Connection* connection) {
        auto* server = static_cast<HttpServer*>(cls);
        auto* pending = new HttpServer::Pending;
        pending->timer.start();
        pending->target = uri;
        pending->targetInBuffer = uri;
        const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        pending->watched = static_cast<ConnectionWatch::Connection*>(info->socket_context);
        server->watch_->requestLineRead(pending->watched, ConnectionWatch::Clock::now());
        return pending;
    }

    static void onConnection(void* cls, MHD_Connection* connection, void** socketContext,
                             MHD_ConnectionNotificationCode event) {
        auto* server = static_cast<HttpServer*>(cls);
        if (event == MHD_CONNECTION_NOTIFY_STARTED) {
            const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
            const int unsent = server->limits_.unsentReplyBytes;
            setsockopt(info->connect_fd, IPPROTO_TCP, TCP_NOTSENT_LOWAT, &unsent, sizeof unsent);
            *socketContext =
                server->watch_->opened(info->connect_fd, clientAddress(connection), ConnectionWatch::Clock::now());
        } else if (*socketContext) {
            // Before the library closes the socket, so that nothing cuts a socket number reused.
            server->watch_->closed(static_cast<ConnectionWatch::Connection*>(*socketContext));
            *socketContext = nullptr;
        }
    }

    static MHD_Result begin(HttpServer* server, MHD_Connection* connection, HttpServer::Pending* pending,
                            const char* url, const char* method, const char* version) {
        pending->begun = true;
        server->requestBegun();
        pending->request.method = method;
        pending->request.path = url;
        pending->request.remoteAddress = clientAddress(connection);
        pending->request.id =
            server->requestId(MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-Request-Id"));
        HeadFields fields;
        MHD_get_connection_values_n(connection, MHD_HEADER_KIND, &noteHeadField, &fields);
        if (auto refusal = malformed(*pending, fields, version)) return queue(server, connection, pending, *refusal);
        if (auto refusal = crossOrigin(*server, *pending, fields)) return queue(server, connection, pending, *refusal);
        if (const char* authorization =
                MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION))
            pending->request.authorization = authorization;
        MHD_get_connection_values_n(connection, MHD_GET_ARGUMENT_KIND, &collectQuery, &pending->request.query);
        if (const char* type = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_TYPE))
            pending->request.contentType = type;
        // The library has checked that a length is digits and fits 64 bits.
        if (const char* length =
                MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH)) {
            bool fits = false;
            pending->declaredLength = QByteArray(length).toLongLong(&fits);
            if (!fits) pending->declaredLength = std::numeric_limits<qsizetype>::max();
        }
        // Refuse before reading a body that is announced as too large.
        if (pending->declaredLength > server->limits_.maxBodyBytes)
            return queue(server, connection, pending, tooLarge(*server));
        server->watch_->headRead(pending->watched, ConnectionWatch::Clock::now());
        return MHD_YES;
    }

    static MHD_Result receive(HttpServer* server, HttpServer::Pending* pending, const char* data, size_t* size) {
        const auto chunk = qsizetype(*size);
        *size = 0;
        pending->received += chunk;
        server->watch_->transferred(pending->watched, chunk);
        if (pending->tooLarge || pending->overBudget) {
            // Keep reading so the client gets its answer, but stop a sender that never ends.
            return pending->received > 2 * server->limits_.maxBodyBytes ? MHD_NO : MHD_YES;
        }
        if (pending->received > server->limits_.maxBodyBytes) {
            pending->tooLarge = true;
        } else if (!server->holdBody(pending->request.remoteAddress, chunk)) {
            pending->overBudget = true;
        } else {
            pending->request.body.append(data, chunk);
            return MHD_YES;
        }
        server->releaseBody(pending->request.remoteAddress, pending->request.body.size());
        pending->request.body = QByteArray();
        return MHD_YES;
    }

    static MHD_Result onRequest(void* cls, MHD_Connection* connection, const char* url, const char* method,
                                const char* version, const char* uploadData, size_t* uploadDataSize, void** state) {
        auto* server = static_cast<HttpServer*>(cls);
        auto* pending = static_cast<HttpServer::Pending*>(*state);
        if (!pending->begun) return begin(server, connection, pending, url, method, version);
        if (*uploadDataSize > 0) return receive(server, pending, uploadData, uploadDataSize);
        if (pending->answered) return queue(server, connection, pending, pending->response);
        if (pending->tooLarge) return queue(server, connection, pending, tooLarge(*server));
        if (pending->overBudget)
            return queue(server, connection, pending,
                         busy(QStringLiteral("too many large requests at once; try again")));
        if (!server->dispatch(connection, pending))
            return queue(server, connection, pending, busy(QStringLiteral("the server is stopping; try again")));
        return MHD_YES;
    }

    // A message of the HTTP library, on one escaped line. A client that closes thousands of
    // connections makes thousands of them: past a few in a report period they are only counted.
    static void onLibraryMessage(void* cls, const char* format, va_list arguments) {
        constexpr int messagesAtMost = 20;
        auto* server = static_cast<HttpServer*>(cls);
        if (++server->libraryMessages_ > messagesAtMost) {
            ++server->libraryMessagesLeftOut_;
            return;
        }
        char text[512];
        std::vsnprintf(text, sizeof text, format, arguments);
        writeLog("centeremp-server: libmicrohttpd: " + escapeForLog(QByteArray(text).trimmed()) + '\n');
    }

    static void onCompleted(void* cls, MHD_Connection*, void** state, MHD_RequestTerminationCode how) {
        auto* server = static_cast<HttpServer*>(cls);
        auto* pending = static_cast<HttpServer::Pending*>(*state);
        if (!pending) return;
        if (how == MHD_REQUEST_TERMINATED_TIMEOUT_REACHED) server->watch_->timedOut(pending->watched);
        server->watch_->idle(pending->watched, ConnectionWatch::Clock::now());
        server->releaseBody(pending->request.remoteAddress, pending->request.body.size());
        if (pending->begun) server->requestEnded();
        delete pending;
        *state = nullptr;
    }
};

HttpServer::HttpServer(HandlerFactory factory, int readers, int writers, HttpLimits limits)
    : factory_(std::move(factory)),
      readerCount_(std::max(1, readers)),
      writerCount_(std::max(1, writers)),
      limits_(limits),
      idPrefix_(QByteArray::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, '0')) {}

HttpServer::~HttpServer() { stop(); }

// On the polling thread, inside the request callback: the connection waits, suspended, until
// a worker has the answer.
bool HttpServer::dispatch(MHD_Connection* connection, Pending* pending) {
    std::lock_guard lock(mutex_);
    if (refusing_) return false;
    ++inFlight_;
    watch_->answering(pending->watched);
    MHD_suspend_connection(connection);
    const Lane lane = pending->request.method == "POST" ? Writing : Reading;
    queue_[lane].emplace_back(connection, pending);
    wake_[lane].notify_one();
    return true;
}

QByteArray HttpServer::requestId(const char* given) {
    constexpr qsizetype longest = 64;
    const QByteArrayView proposed(given ? given : "");
    const bool plausible =
        !proposed.isEmpty() && proposed.size() <= longest && std::all_of(proposed.begin(), proposed.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
        });
    if (plausible) return proposed.toByteArray();
    return idPrefix_ + '-' + QByteArray::number(++requests_);
}

ServerLoad HttpServer::load() {
    ServerLoad now;
    now.openConnections = openConnections();
    now.readers = readerCount_;
    now.writers = writerCount_;
    std::lock_guard lock(mutex_);
    now.queuedReading = queue_[Reading].size();
    now.queuedWriting = queue_[Writing].size();
    return now;
}

bool HttpServer::stopping() {
    std::lock_guard lock(mutex_);
    return refusing_;
}

void HttpServer::requestBegun() {
    std::lock_guard lock(mutex_);
    ++unfinished_;
}

void HttpServer::requestEnded() {
    std::lock_guard lock(mutex_);
    --unfinished_;
    idle_.notify_all();
}

void HttpServer::work(int worker, Lane lane) {
    Handler handler = factory_(worker);
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            auto& queue = queue_[lane];
            wake_[lane].wait(lock, [this, &queue] { return exit_ || !queue.empty(); });
            if (queue.empty()) break;
            job = queue.front();
            queue.pop_front();
        }
        auto& [connection, pending] = job;
        try {
            pending->response = handler(pending->request);
        } catch (const std::exception& e) {
            pending->response = HttpResponse::text(MHD_HTTP_INTERNAL_SERVER_ERROR, QStringLiteral("internal error"));
            pending->response.logNote = QStringLiteral("internal error: %1").arg(QString::fromLocal8Bit(e.what()));
        }
        releaseBody(pending->request.remoteAddress, pending->request.body.size());
        pending->request.body = QByteArray();  // the answer is all that is left to send
        pending->answered = true;
        MHD_resume_connection(connection);
        std::lock_guard lock(mutex_);
        --inFlight_;
        idle_.notify_all();
    }
    handler = nullptr;  // its database connection closes on the thread that opened it
}

bool HttpServer::holdBody(const QString& address, qsizetype bytes) {
    std::lock_guard lock(bodyMutex_);
    qsizetype& fromAddress = bufferedByAddress_[address];
    const qsizetype perClient = limits_.maxBufferedBytesPerClient;
    if (bufferedBytes_ + bytes > limits_.maxBufferedBytes || (perClient > 0 && fromAddress + bytes > perClient)) {
        if (fromAddress == 0) bufferedByAddress_.remove(address);
        return false;
    }
    fromAddress += bytes;
    bufferedBytes_ += bytes;
    return true;
}

void HttpServer::releaseBody(const QString& address, qsizetype bytes) {
    if (bytes == 0) return;
    std::lock_guard lock(bodyMutex_);
    bufferedBytes_ -= bytes;
    if ((bufferedByAddress_[address] -= bytes) == 0) bufferedByAddress_.remove(address);
}

namespace {

QByteArrayView whyCut(ConnectionWatch::Reason reason) {
    switch (reason) {
    case ConnectionWatch::Reason::Idle: break;
    case ConnectionWatch::Reason::SlowHead: return "request head too slow";
    case ConnectionWatch::Reason::SlowBody: return "request body too slow";
    case ConnectionWatch::Reason::SlowReader: return "reply read too slowly";
    case ConnectionWatch::Reason::MadeRoom: return "closed to make room, having sent least";
    }
    return "idle too long";
}

// What the watch cut, a line for each reason and address, the largest counts first; past a
// few lines the rest is one line, so that an attack from many addresses cannot flood the log.
void logCuts(const std::vector<ConnectionWatch::Cuts>& cuts) {
    constexpr std::size_t linesAtMost = 10;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    int others = 0;
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        if (i < linesAtMost)
            writeLog(closedConnectionsLine(now, cuts[i].address, cuts[i].count, whyCut(cuts[i].reason)));
        else
            others += cuts[i].count;
    }
    if (others > 0) writeLog(closedConnectionsLine(now, QStringLiteral("-"), others, "past deadlines or to make room"));
}

}  // namespace

// Twice a second: deadlines are kept to within half a second. Every five seconds the log says
// what was cut, and the memory that a burst of large replies or bodies left free goes back to
// the system.
void HttpServer::sweep() {
    constexpr int sweepsPerReport = 10;
    std::unique_lock lock(mutex_);
    for (int sweeps = 1; !sweepWake_.wait_for(lock, std::chrono::milliseconds(500), [this] { return !sweeping_; });
         ++sweeps) {
        lock.unlock();
        watch_->sweep(ConnectionWatch::Clock::now());
        if (sweeps % sweepsPerReport == 0) {
            report();
            malloc_trim(0);
        }
        lock.lock();
    }
    report();
}

void HttpServer::report() {
    logCuts(watch_->takeCuts());
    libraryMessages_ = 0;
    if (const int leftOut = libraryMessagesLeftOut_.exchange(0); leftOut > 0)
        writeLog("centeremp-server: libmicrohttpd: " + QByteArray::number(leftOut) + " more messages left out\n");
}

namespace {

// Descriptors kept for the database connections and files: a few for the process, and some for
// each worker.
constexpr rlim_t reservedDescriptors = 64;
constexpr rlim_t descriptorsPerWorker = 4;
// The fewest connections served, however tight the descriptor limit.
constexpr unsigned minimumConnections = 16;

// The listening address as the socket wants it; an error message when it is not a literal.
std::optional<QString> socketAddress(const ListenAddress& address, sockaddr_storage& storage) {
    const bool ipv6 = address.isIpv6();
    void* host = nullptr;
    if (ipv6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(address.port);
        host = &in6->sin6_addr;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(address.port);
        host = &in4->sin_addr;
    }
    if (inet_pton(ipv6 ? AF_INET6 : AF_INET, address.host.toLatin1().constData(), host) != 1)
        return QStringLiteral("invalid %1 address %2").arg(ipv6 ? u"IPv6"_qs : u"IPv4"_qs, address.host);
    return std::nullopt;
}

// Every connection is a descriptor: the process takes as many as the system lets it. Returns
// how many it may hold now.
rlim_t raiseOpenFileLimit() {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0) return 0;
    if (files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
        getrlimit(RLIMIT_NOFILE, &files);
    }
    return files.rlim_cur;
}

}  // namespace

// Of the descriptors the process may hold, some are kept for the database connections and files.
unsigned HttpServer::connectionLimit(unsigned long openFiles) const {
    const rlim_t reserve = reservedDescriptors + descriptorsPerWorker * rlim_t(readerCount_ + writerCount_);
    if (openFiles <= reserve + minimumConnections) return minimumConnections;
    return unsigned(std::min<rlim_t>(limits_.connections, openFiles - reserve));
}

bool HttpServer::start(const ListenAddress& address, QString* error, const TlsCredentials* tls) {
    sockaddr_storage storage{};
    if (auto problem = socketAddress(address, storage)) {
        *error = *problem;
        return false;
    }
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG;
    if (address.isIpv6()) flags |= MHD_USE_IPv6;
    // The daemon reads the certificate and key while it runs, so they are kept with the server.
    std::vector<MHD_OptionItem> tlsOptions;
    if (tls) {
        flags |= MHD_USE_TLS;
        tls_ = *tls;
        tlsOptions = {{MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(tls_.certificate.constData())},
                      {MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(tls_.key.constData())},
                      {MHD_OPTION_HTTPS_PRIORITIES, 0, const_cast<char*>(tlsPriorities)}};
    }
    tlsOptions.push_back({MHD_OPTION_END, 0, nullptr});
    const unsigned connections = connectionLimit(raiseOpenFileLimit());
    const unsigned perClient = std::min(limits_.perClientConnections, connections);
    WatchLimits watching;
    watching.connections = connections;
    watching.perAddress = perClient;
    watching.idle = std::chrono::seconds(limits_.idleTimeoutSeconds);
    watching.head = std::chrono::seconds(limits_.headTimeoutSeconds);
    watching.bodyWindow = std::chrono::seconds(limits_.bodyWindowSeconds);
    watching.minBodyBytes = limits_.minBodyBytesPerWindow;
    // The library closes a socket that was shut down as soon as it sees it.
    watch_ = std::make_unique<ConnectionWatch>(watching, [](int socket) { ::shutdown(socket, SHUT_RDWR); });
    for (int i = 0; i < readerCount_; ++i) workers_.emplace_back(&HttpServer::work, this, i, Reading);
    for (int i = 0; i < writerCount_; ++i) workers_.emplace_back(&HttpServer::work, this, readerCount_ + i, Writing);
    daemon_ = MHD_start_daemon(flags, address.port, nullptr, nullptr, &HttpCallbacks::onRequest, this,  //
                               MHD_OPTION_EXTERNAL_LOGGER, &HttpCallbacks::onLibraryMessage, this,      //
                               MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&storage),             //
                               MHD_OPTION_CONNECTION_LIMIT, connections,                                //
                               MHD_OPTION_PER_IP_CONNECTION_LIMIT, perClient,                           //
                               MHD_OPTION_CONNECTION_TIMEOUT, limits_.idleTimeoutSeconds,               //
                               MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits_.connectionMemoryBytes,       //
                               MHD_OPTION_URI_LOG_CALLBACK, &HttpCallbacks::onRequestLine, this,        //
                               MHD_OPTION_NOTIFY_CONNECTION, &HttpCallbacks::onConnection, this,        //
                               MHD_OPTION_NOTIFY_COMPLETED, &HttpCallbacks::onCompleted, this,          //
                               MHD_OPTION_ARRAY, tlsOptions.data(),                                     //
                               MHD_OPTION_END);
    if (!daemon_) {
        stopWorkers();
        *error = QStringLiteral("cannot listen on %1 (address in use or not available?)")
                     .arg(address.url(address.port, tls != nullptr));
        return false;
    }
    sweeping_ = true;
    sweeper_ = std::thread(&HttpServer::sweep, this);
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
    port_ = info ? info->port : 0;
    if (port_ == 0) {
        stop();
        *error = QStringLiteral("cannot tell which port the server listens on");
        return false;
    }
    return true;
}

void HttpServer::stop() {
    if (daemon_) {
        // No new connections: the socket stops listening, so that a client (or a load balancer)
        // is refused at once instead of waiting in the backlog; it is closed once the daemon is.
        const MHD_socket listening = MHD_quiesce_daemon(daemon_);
        if (listening != MHD_INVALID_SOCKET) ::shutdown(listening, SHUT_RDWR);
        std::unique_lock lock(mutex_);
        refusing_ = true;
        // The daemon must not stop with a connection suspended: let every worker answer first.
        idle_.wait(lock, [this] { return inFlight_ == 0; });
        // Then every reply made goes out before the daemon closes the connections, within a bound
        // for readers that do not take theirs.
        idle_.wait_for(lock, std::chrono::seconds(limits_.stopReplySeconds), [this] { return unfinished_ == 0; });
        lock.unlock();
        {
            std::lock_guard lock(mutex_);
            sweeping_ = false;
        }
        sweepWake_.notify_all();
        sweeper_.join();
        MHD_stop_daemon(daemon_);
        daemon_ = nullptr;
        if (listening != MHD_INVALID_SOCKET) ::close(listening);  // quiescing handed the socket to us
    }
    stopWorkers();
}

void HttpServer::stopWorkers() {
    {
        std::lock_guard lock(mutex_);
        exit_ = true;
    }
    for (auto& wake : wake_) wake.notify_all();
    for (auto& worker : workers_) worker.join();
    workers_.clear();
}

}  // namespace centeremp::server
