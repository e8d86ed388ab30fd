#include "server/basic_credentials.h"

#include <QByteArray>
#include <QStringDecoder>

namespace centeremp::server {

namespace {

// A header far longer than any name and password of a person is refused unread.
constexpr qsizetype maxHeaderBytes = 4096;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::optional<BasicCredentials> parseBasicAuthorization(QByteArrayView header) {
    if (header.size() > maxHeaderBytes) return std::nullopt;
    const QByteArrayView scheme = "Basic";
    if (header.size() <= scheme.size() || header.first(scheme.size()).compare(scheme, Qt::CaseInsensitive) != 0 ||
        !isBlank(header[scheme.size()]))
        return std::nullopt;
    QByteArrayView token = header.sliced(scheme.size());
    while (!token.empty() && isBlank(token.front())) token = token.sliced(1);
    while (!token.empty() && isBlank(token.back())) token.chop(1);
    if (token.empty()) return std::nullopt;

    const auto decoded = QByteArray::fromBase64Encoding(token.toByteArray(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(*decoded);
    if (utf8.hasError()) return std::nullopt;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return std::nullopt;
    }
    const qsizetype colon = text.indexOf(u':');
    if (colon <= 0) return std::nullopt;
    return BasicCredentials{text.first(colon), text.sliced(colon + 1)};
}

}  // namespace centeremp::server
