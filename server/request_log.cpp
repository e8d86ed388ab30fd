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

QByteArray requestLogLine(const RequestLogEntry& entry) {
    const auto field = [](const QString& text) { return escapeForLog(text.isEmpty() ? "-" : text.toUtf8()); };
    QByteArray line = entry.when.toUTC().toString(Qt::ISODateWithMs).toLatin1() + ' ' + field(entry.address) + ' ' +
                      escapeForLog(entry.method) + ' ' + escapeForLog(entry.path) + ' ' +
                      QByteArray::number(entry.status) + ' ' + QByteArray::number(entry.milliseconds) + " ms";
    if (!entry.operatorName.isEmpty()) line += " operator=" + escapeForLog(entry.operatorName.toUtf8());
    if (!entry.centre.isEmpty()) line += " centre=" + escapeForLog(entry.centre.toUtf8());
    if (!entry.note.isEmpty()) line += ": " + escapeForLog(entry.note.toUtf8());
    return line + '\n';
}

QByteArray closedConnectionsLine(const QDateTime& when, const QString& address, int count, QByteArrayView why) {
    return when.toUTC().toString(Qt::ISODateWithMs).toLatin1() + ' ' + escapeForLog(address.toUtf8()) + " closed " +
           QByteArray::number(count) + (count == 1 ? " connection: " : " connections: ") + escapeForLog(why) + '\n';
}

void writeLog(const QByteArray& line) {
    // fwrite holds the stream lock for the whole line, so lines of several threads never mix.
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
}

}  // namespace centeremp::server
