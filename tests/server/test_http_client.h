#pragma once

// HTTP for tests: one request per connection to 127.0.0.1, through the client the load
// generator uses too.

#include "server/harness/http_client.h"

#include <QByteArray>
#include <QString>

namespace centeremp::servertest {

using harness::HttpReply;

// One request on a fresh connection to 127.0.0.1, waiting up to a minute for the whole reply;
// a connection refused is a test failure. authorization: the Authorization header's value, or
// empty for none.
HttpReply httpRequest(quint16 port, const QByteArray& method, const QByteArray& target, const QByteArray& body = {},
                      const QByteArray& contentType = {}, bool chunked = false, const QByteArray& authorization = {});

// The value of an Authorization header for HTTP Basic sign-in, the name and password in UTF-8.
QByteArray basicAuthorization(const QString& name, const QString& password);

}  // namespace centeremp::servertest
