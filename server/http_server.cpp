#include "server/http_server.h"

#include <microhttpd.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

namespace centeremp::server {

HttpResponse HttpResponse::text(int status, const QString &message)
{
    HttpResponse response;
    response.status = status;
    response.contentType = "text/plain; charset=utf-8";
    response.body = message.toUtf8();
    if (!response.body.endsWith('\n'))
        response.body.append('\n');
    return response;
}

struct HttpServer::Pending
{
    HttpRequest request;
    qsizetype declaredLength = -1;
    qsizetype received = 0;
    bool tooLarge = false;
    bool overBudget = false;
};

struct HttpCallbacks
{
    static MHD_Result queue(MHD_Connection *connection, const HttpResponse &response)
    {
        MHD_Response *reply = MHD_create_response_from_buffer(std::size_t(response.body.size()),
                                                              const_cast<char *>(response.body.constData()),
                                                              MHD_RESPMEM_MUST_COPY);
        if (!reply)
            return MHD_NO;
        if (!response.contentType.isEmpty())
            MHD_add_response_header(reply, MHD_HTTP_HEADER_CONTENT_TYPE, response.contentType.constData());
        for (const auto &[name, value] : response.headers)
            MHD_add_response_header(reply, name.constData(), value.constData());
        const MHD_Result result = MHD_queue_response(connection, unsigned(response.status), reply);
        MHD_destroy_response(reply);
        return result;
    }

    static MHD_Result collectQuery(void *cls, MHD_ValueKind, const char *key, size_t keySize, const char *value,
                                   size_t valueSize)
    {
        auto *query = static_cast<std::vector<std::pair<QByteArray, QByteArray>> *>(cls);
        query->emplace_back(QByteArray(key, qsizetype(keySize)),
                            value ? QByteArray(value, qsizetype(valueSize)) : QByteArray());
        return MHD_YES;
    }

    static HttpResponse tooLarge(const HttpServer &server)
    {
        return HttpResponse::text(MHD_HTTP_CONTENT_TOO_LARGE,
                                  QStringLiteral("request body too large: at most %1 bytes are accepted")
                                      .arg(server.m_limits.maxBodyBytes));
    }

    static MHD_Result onRequest(void *cls, MHD_Connection *connection, const char *url, const char *method,
                                const char *, const char *uploadData, size_t *uploadDataSize, void **state)
    {
        auto *server = static_cast<HttpServer *>(cls);
        auto *pending = static_cast<HttpServer::Pending *>(*state);
        if (!pending) {
            pending = new HttpServer::Pending;
            *state = pending;
            pending->request.method = method;
            pending->request.path = url;
            MHD_get_connection_values_n(connection, MHD_GET_ARGUMENT_KIND, &collectQuery, &pending->request.query);
            if (const char *type = MHD_lookup_connection_value(connection, MHD_HEADER_KIND,
                                                               MHD_HTTP_HEADER_CONTENT_TYPE))
                pending->request.contentType = type;
            if (const char *length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND,
                                                                 MHD_HTTP_HEADER_CONTENT_LENGTH)) {
                bool ok = false;
                pending->declaredLength = QByteArray(length).toLongLong(&ok);
                if (!ok)
                    pending->declaredLength = -1;
            }
            // Refuse before reading a body that is announced as too large.
            if (pending->declaredLength > server->m_limits.maxBodyBytes)
                return queue(connection, tooLarge(*server));
            return MHD_YES;
        }

        if (*uploadDataSize > 0) {
            const auto chunk = qsizetype(*uploadDataSize);
            *uploadDataSize = 0;
            pending->received += chunk;
            if (pending->tooLarge || pending->overBudget) {
                // Keep reading so the client gets its answer, but stop a sender that never ends.
                return pending->received > 2 * server->m_limits.maxBodyBytes ? MHD_NO : MHD_YES;
            }
            if (pending->received > server->m_limits.maxBodyBytes) {
                pending->tooLarge = true;
            } else if (server->m_bufferedBytes + chunk > server->m_limits.maxBufferedBytes) {
                pending->overBudget = true;
            } else {
                pending->request.body.append(uploadData, chunk);
                server->m_bufferedBytes += chunk;
                return MHD_YES;
            }
            server->m_bufferedBytes -= pending->request.body.size();
            pending->request.body = QByteArray();
            return MHD_YES;
        }

        if (pending->tooLarge)
            return queue(connection, tooLarge(*server));
        if (pending->overBudget) {
            HttpResponse busy = HttpResponse::text(MHD_HTTP_SERVICE_UNAVAILABLE,
                                                   QStringLiteral("too many large requests at once; try again"));
            busy.headers.emplace_back("Retry-After", "5");
            return queue(connection, busy);
        }
        HttpResponse response;
        try {
            response = server->m_handler(pending->request);
        } catch (const std::exception &e) {
            response = HttpResponse::text(MHD_HTTP_INTERNAL_SERVER_ERROR,
                                          QStringLiteral("internal error: %1").arg(QString::fromLocal8Bit(e.what())));
        }
        return queue(connection, response);
    }

    static void onCompleted(void *cls, MHD_Connection *, void **state, MHD_RequestTerminationCode)
    {
        auto *server = static_cast<HttpServer *>(cls);
        auto *pending = static_cast<HttpServer::Pending *>(*state);
        if (!pending)
            return;
        server->m_bufferedBytes -= pending->request.body.size();
        delete pending;
        *state = nullptr;
    }
};

HttpServer::HttpServer(Handler handler, HttpLimits limits) : m_handler(std::move(handler)), m_limits(limits) {}

HttpServer::~HttpServer()
{
    stop();
}

bool HttpServer::start(const ListenAddress &address, QString *error)
{
    sockaddr_storage storage{};
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO | MHD_USE_ERROR_LOG;
    const QByteArray host = address.host.toLatin1();
    if (address.isIpv6()) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(address.port);
        if (inet_pton(AF_INET6, host.constData(), &in6->sin6_addr) != 1) {
            *error = QStringLiteral("invalid IPv6 address %1").arg(address.host);
            return false;
        }
        flags |= MHD_USE_IPv6;
    } else {
        auto *in4 = reinterpret_cast<sockaddr_in *>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(address.port);
        if (inet_pton(AF_INET, host.constData(), &in4->sin_addr) != 1) {
            *error = QStringLiteral("invalid IPv4 address %1").arg(address.host);
            return false;
        }
    }
    m_daemon = MHD_start_daemon(
        flags, address.port, nullptr, nullptr, &HttpCallbacks::onRequest, this,         //
        MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr *>(&storage),                    //
        MHD_OPTION_CONNECTION_LIMIT, m_limits.connections,                               //
        MHD_OPTION_CONNECTION_TIMEOUT, m_limits.idleTimeoutSeconds,                      //
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, m_limits.connectionMemoryBytes,              //
        MHD_OPTION_NOTIFY_COMPLETED, &HttpCallbacks::onCompleted, this,                  //
        MHD_OPTION_END);
    if (!m_daemon) {
        *error = QStringLiteral("cannot listen on %1 (address in use or not available?)").arg(address.url(address.port));
        return false;
    }
    const MHD_DaemonInfo *info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
    m_port = info ? info->port : 0;
    if (m_port == 0) {
        stop();
        *error = QStringLiteral("cannot tell which port the server listens on");
        return false;
    }
    return true;
}

void HttpServer::stop()
{
    if (m_daemon) {
        MHD_stop_daemon(m_daemon);
        m_daemon = nullptr;
    }
}

} // namespace centeremp::server
