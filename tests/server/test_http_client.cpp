#include "test_http_client.h"

#include <gtest/gtest.h>

#include <chrono>

namespace centeremp::servertest {

HttpReply httpRequest(quint16 port, const QByteArray& method, const QByteArray& target, const QByteArray& body,
                      const QByteArray& contentType, bool chunked, const QByteArray& authorization) {
    harness::HttpClient client(port, authorization, std::chrono::minutes(1));
    std::string error;
    if (!client.connectOnly(&error)) {
        ADD_FAILURE() << "cannot connect to port " << port << ": " << error;
        return {};
    }
    return client.request(method, target, body, {contentType, chunked, false});
}

QByteArray basicAuthorization(const QString& name, const QString& password) {
    return harness::basicAuthorization(name.toUtf8(), password.toUtf8());
}

}  // namespace centeremp::servertest
