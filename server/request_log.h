#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringView>

namespace centeremp::server {

// Every byte outside printable ASCII, and the backslash itself, written as \xNN: what a client
// sends (a path with %0A, a terminal escape) can then never start a line of its own or reach
// the terminal of whoever reads the log.
QByteArray escapeForLog(QByteArrayView text);

struct RequestLogEntry {
    QDateTime when;
    QByteArray requestId;
    QString address;  // the client's
    QByteArray method;
    QByteArray path;
    int status = 0;
    qint64 milliseconds = 0;
    QString operatorName;  // empty: nobody signed in
    QString centre;        // empty: no centre named
    QString note;
};

// One line per request, as NAME=VALUE fields a log collector splits without knowing them:
// time, id, address, method, path, status, ms, then operator and centre when known and an
// optional note. Every value is escaped, and quoted when it holds a blank or a quote; the line
// ends in a newline.
QByteArray requestLogLine(const RequestLogEntry& entry);

// A line for connections the server closed of its own accord, in the same fields: time, the
// clients' address ("-" for several), closed (how many) and reason.
QByteArray closedConnectionsLine(const QDateTime& when, const QString& address, int count, QByteArrayView why);

// Writes a whole line at once to stderr, so lines from several threads never interleave.
void writeLog(const QByteArray& line);

}  // namespace centeremp::server
