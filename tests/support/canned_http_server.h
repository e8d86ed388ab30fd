#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

// A real HTTP server on a free loopback port, on a thread of its own, that answers every
// request with one canned response and remembers what it was asked. For answers that the
// reference server would never give: broken documents, odd counts, long or blank replies, and
// the ways a real network lets a client down. Being on its own thread, it also answers a
// client that blocks the test's thread.
class CannedHttpServer {
public:
    struct Request {
        QByteArray method;
        QByteArray target;
        QByteArray headers;
        QByteArray body;
        QByteArray authorization;  // the Authorization header's value, empty when none came
    };
    // One answer: status, body, its type and any further header lines ("Name: value\r\n" each).
    struct Answer {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/plain; charset=utf-8";
        QByteArray headers;
    };
    // How the answer goes out.
    enum class Delivery {
        Whole,          // status, headers with Content-Length, the body; then close
        Chunked,        // the body in chunked encoding, with its last chunk
        CutShort,       // announces the whole body, sends 7 bytes of it and closes
        Stall,          // sends the headers, then nothing until the client gives up
        Drip,           // announces the whole body and sends one byte every drip interval
        HangUp,         // closes the connection without answering
        UnendedChunks,  // chunked, closed before the last chunk
    };

    CannedHttpServer();
    ~CannedHttpServer();
    CannedHttpServer(const CannedHttpServer&) = delete;
    CannedHttpServer& operator=(const CannedHttpServer&) = delete;

    void respond(int status, QByteArray body, QByteArray contentType = "text/xml; charset=utf-8",
                 QByteArray headers = {});
    // The next requests take these answers in turn; the ones after them get respond()'s.
    void answerInTurn(std::vector<Answer> answers);
    void deliver(Delivery delivery, std::chrono::milliseconds dripInterval = std::chrono::milliseconds(500));
    QString url() const;  // http://127.0.0.1:PORT
    std::vector<Request> requests() const;
    int connections() const { return connections_; }

private:
    void acceptLoop();
    void serve(int socket);
    void answer(int socket);
    bool sendAll(int socket, const QByteArray& bytes);
    bool pause(std::chrono::milliseconds duration);

    int listener_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    Answer answer_{200, {}, "text/xml; charset=utf-8", {}};
    std::vector<Answer> inTurn_;
    Delivery delivery_ = Delivery::Whole;
    std::chrono::milliseconds dripInterval_{500};
    std::vector<Request> requests_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

// A loopback address where nothing listens.
QString closedPortUrl();
