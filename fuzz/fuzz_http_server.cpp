// Raw bytes from a client into the HTTP server on a loopback port. Whatever a connection sends,
// the server keeps serving (a well-formed request on a fresh connection is answered) and the
// request bodies it held for that connection are released once it is gone.

#include "server/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

using namespace centeremp::server;

[[noreturn]] void fail(const char* what, const QByteArray& detail = {}) {
    std::fprintf(stderr, "http server: %s %s\n", what, detail.left(300).constData());
    std::abort();
}

int connectTo(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) fail("no socket");
    // Short waits: a request the server is still reading must not hold up the next input.
    timeval timeout{0, 200 * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) fail("cannot connect");
    return fd;
}

void sendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0) return;  // the server may close on a bad request before reading it all
        data += sent;
        size -= size_t(sent);
    }
}

QByteArray readUntilClosed(int fd) {
    QByteArray reply;
    char buffer[16384];
    while (true) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) return reply;
        reply.append(buffer, got);
    }
}

std::unique_ptr<HttpServer> startServer() {
    // Small body limits so that short inputs reach the refusals for large bodies and for too
    // many buffered bytes, which the product limits guard the same way at sixteen megabytes.
    HttpLimits limits;
    limits.maxBodyBytes = 64 * 1024;
    limits.maxBufferedBytes = 96 * 1024;
    limits.idleTimeoutSeconds = 2;
    auto server = std::make_unique<HttpServer>(
        [](int) {
            return [](const HttpRequest& request) {
                return HttpResponse::text(200, QStringLiteral("ok %1").arg(request.body.size()));
            };
        },
        1, 1, limits);
    ListenAddress address;
    address.port = 0;
    QString error;
    if (!server->start(address, &error)) fail("cannot start:", error.toUtf8());
    return server;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::unique_ptr<HttpServer> server = startServer();

    const int fuzzed = connectTo(server->port());
    sendAll(fuzzed, reinterpret_cast<const char*>(data), size);
    ::shutdown(fuzzed, SHUT_WR);
    readUntilClosed(fuzzed);
    ::close(fuzzed);

    const int probe = connectTo(server->port());
    static const char request[] =
        "POST /probe HTTP/1.1\r\nHost: fuzz\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello";
    sendAll(probe, request, sizeof request - 1);
    QByteArray reply;
    for (int attempt = 0; attempt < 25 && !reply.contains("ok 5\n"); ++attempt) reply += readUntilClosed(probe);
    ::close(probe);
    if (!reply.startsWith("HTTP/1.1 200") || !reply.endsWith("ok 5\n"))
        fail("a well-formed request was not answered:", reply);

    // The server learns of the closed connections on its own thread; give it a moment.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (server->bufferedBytes() != 0) {
        if (std::chrono::steady_clock::now() > deadline)
            fail("buffered bytes stay held after the connections closed:", QByteArray::number(server->bufferedBytes()));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return 0;
}
