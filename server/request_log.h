#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QStringView>

namespace centeremp::server {

// Every byte outside printable ASCII, and the backslash itself, written as \xNN: what a client
// sends (a path with %0A, a terminal escape) can then never start a line of its own or reach
// the terminal of whoever reads the log.
QByteArray escapeForLog(QByteArrayView text);

// One line per request: time, method, path, status, milliseconds, and an optional note, each
// escaped; ends in a newline.
QByteArray requestLogLine(const QDateTime& when, QByteArrayView method, QByteArrayView path, int status,
                          qint64 milliseconds, QStringView note);

// Writes a whole line at once to stderr, so lines from several threads never interleave.
void writeLog(const QByteArray& line);

}  // namespace centeremp::server
