#pragma once

// The fuzz input of a request, as text a person can write seeds in:
//   METHOD \n PATH \n QUERY \n CONTENT-TYPE \n BODY...
// QUERY is name=value pairs joined by '&', already decoded as the HTTP layer hands them over.

#include "server/http_server.h"

#include <QByteArray>
#include <QList>

inline centeremp::server::HttpRequest requestFromText(QByteArray text) {
    centeremp::server::HttpRequest request;
    QByteArray* header[] = {&request.method, &request.path, nullptr, &request.contentType};
    QByteArray query;
    header[2] = &query;
    for (QByteArray* part : header) {
        const qsizetype end = text.indexOf('\n');
        *part = end < 0 ? text : text.left(end);
        text = end < 0 ? QByteArray() : text.mid(end + 1);
    }
    for (const QByteArray& pair : query.split('&')) {
        if (pair.isEmpty()) continue;
        const qsizetype equals = pair.indexOf('=');
        request.query.emplace_back(equals < 0 ? pair : pair.left(equals),
                                   equals < 0 ? QByteArray() : pair.mid(equals + 1));
    }
    request.body = text;
    return request;
}
