#pragma once

// A plain HTTP/1.1 client for tests: one request per connection to 127.0.0.1.

#include <QByteArray>

namespace centeremp::servertest {

struct HttpReply {
    int status = 0;  // 0: no answer at all
    QByteArray head;
    QByteArray body;
    QByteArray header(const QByteArray& name) const;
};

// One request on a fresh connection to 127.0.0.1. Large bodies are sent after an
// "Expect: 100-continue" handshake, so a refusal before the body arrives is still read.
// authorization: the Authorization header's value, or empty for none.
HttpReply httpRequest(quint16 port, const QByteArray& method, const QByteArray& target, const QByteArray& body = {},
                      const QByteArray& contentType = {}, bool chunked = false, const QByteArray& authorization = {});

// The value of an Authorization header for HTTP Basic sign-in.
QByteArray basicAuthorization(const QString& name, const QString& password);

}  // namespace centeremp::servertest
