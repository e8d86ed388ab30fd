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
    QString address;  // the client's
    QByteArray method;
    QByteArray path;
    int status = 0;
    qint64 milliseconds = 0;
    QString operatorName;  // empty: nobody signed in
    QString centre;        // empty: no centre named
    QString note;
};

// One line per request: time, client address, method, path, status, milliseconds, then
// "operator=NAME" and "centre=N" when known, and an optional note, each escaped; ends in a
// newline.
QByteArray requestLogLine(const RequestLogEntry& entry);

// A line for connections the server closed of its own accord: time, the clients' address ("-"
// for several), how many and why.
QByteArray closedConnectionsLine(const QDateTime& when, const QString& address, int count, QByteArrayView why);

// Writes a whole line at once to stderr, so lines from several threads never interleave.
void writeLog(const QByteArray& line);

}  // namespace centeremp::server
