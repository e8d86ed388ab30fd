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

QByteArray requestLogLine(const QDateTime& when, QByteArrayView method, QByteArrayView path, int status,
                          qint64 milliseconds, QStringView note) {
    QByteArray line = when.toUTC().toString(Qt::ISODateWithMs).toLatin1() + ' ' + escapeForLog(method) + ' ' +
                      escapeForLog(path) + ' ' + QByteArray::number(status) + ' ' + QByteArray::number(milliseconds) +
                      " ms";
    if (!note.isEmpty()) line += ": " + escapeForLog(note.toUtf8());
    return line + '\n';
}

void writeLog(const QByteArray& line) {
    // fwrite holds the stream lock for the whole line, so lines of several threads never mix.
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
}

}  // namespace centeremp::server
