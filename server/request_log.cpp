#include "server/request_log.h"

#include <cstdio>

namespace centeremp::server {

QByteArray escapeForLog(QByteArrayView text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    QByteArray escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            escaped.append(c);
        } else {
            const char code[] = {'\\', 'x', hex[byte >> 4], hex[byte & 0xF]};
            escaped.append(code, 4);
        }
    }
    return escaped;
}

namespace {

// A value escaped for the log, in quotes when a blank, a quote or an equals sign is in it (a
// quote inside is escaped too); "-" when empty.
QByteArray logValue(QByteArrayView text) {
    if (text.isEmpty()) return "-";
    QByteArray value = escapeForLog(text);
    if (!value.contains(' ') && !value.contains('"') && !value.contains('=')) return value;
    value.replace('"', "\\x22");
    return '"' + value + '"';
}

}  // namespace

QByteArray requestLogLine(const RequestLogEntry& entry) {
    QByteArray line = "time=" + entry.when.toUTC().toString(Qt::ISODateWithMs).toLatin1() +
                      " id=" + logValue(entry.requestId) + " address=" + logValue(entry.address.toUtf8()) +
                      " method=" + logValue(entry.method) + " path=" + logValue(entry.path) +
                      " status=" + QByteArray::number(entry.status) + " ms=" + QByteArray::number(entry.milliseconds);
    if (!entry.operatorName.isEmpty()) line += " operator=" + logValue(entry.operatorName.toUtf8());
    if (!entry.centre.isEmpty()) line += " centre=" + logValue(entry.centre.toUtf8());
    if (!entry.note.isEmpty()) line += " note=" + logValue(entry.note.toUtf8());
    return line + '\n';
}

QByteArray closedConnectionsLine(const QDateTime& when, const QString& address, int count, QByteArrayView why) {
    return "time=" + when.toUTC().toString(Qt::ISODateWithMs).toLatin1() + " address=" + logValue(address.toUtf8()) +
           " closed=" + QByteArray::number(count) + " reason=" + logValue(why) + '\n';
}

void writeLog(const QByteArray& line) {
    // fwrite holds the stream lock for the whole line, so lines of several threads never mix.
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
}

}  // namespace centeremp::server
