#include "server/form_decoding.h"

#include <array>
#include <optional>

namespace centeremp::server {

namespace {

// 0x80..0x9F; everything else in Windows-1252 is the Latin-1 code point of the same value.
constexpr std::array<char16_t, 32> highControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Undoes '+' and %XX; nullopt when a '%' is not followed by two hex digits.
std::optional<QByteArray> unescape(QByteArrayView encoded)
{
    QByteArray bytes;
    bytes.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '+') {
            bytes.append(' ');
        } else if (c == '%') {
            if (i + 2 >= encoded.size())
                return std::nullopt; // fewer than two characters follow
            const int high = hexValue(encoded[i + 1]);
            const int low = hexValue(encoded[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            bytes.append(char(high * 16 + low));
            i += 2;
        } else {
            bytes.append(c);
        }
    }
    return bytes;
}

} // namespace

QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        out[i] = (byte >= 0x80 && byte <= 0x9F) ? QChar(highControlRange[byte - 0x80]) : QChar(byte);
    }
    return text;
}

std::variant<std::vector<FormField>, FormError> decodeForm(QByteArrayView body)
{
    std::vector<FormField> fields;
    int fieldNumber = 0;
    qsizetype start = 0;
    while (start <= body.size()) {
        qsizetype end = body.indexOf('&', start);
        if (end < 0)
            end = body.size();
        const QByteArrayView pair = body.sliced(start, end - start);
        start = end + 1;
        if (pair.isEmpty())
            continue;
        ++fieldNumber;
        const qsizetype equals = pair.indexOf('=');
        if (equals < 0)
            return FormError{fieldNumber, QStringLiteral("no '=' between field name and value")};
        const auto name = unescape(pair.first(equals));
        const auto value = unescape(pair.sliced(equals + 1));
        if (!name || !value)
            return FormError{fieldNumber, QStringLiteral("malformed percent escape (expected %XX with two hex digits)")};
        fields.push_back({decodeWindows1252(*name), decodeWindows1252(*value)});
    }
    return fields;
}

} // namespace centeremp::server
