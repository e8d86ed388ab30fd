#include "server/form_decoding.h"

#include "feed/windows_1252.h"

#include <optional>
#include <utility>

namespace centeremp::server {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Undoes '+' and %XX into bytes (reusing its buffer); false when a '%' is not followed by two
// hex digits.
bool unescape(QByteArrayView encoded, QByteArray& bytes) {
    bytes.resize(encoded.size());
    char* out = bytes.data();
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '+') {
            *out++ = ' ';
        } else if (c == '%') {
            if (i + 2 >= encoded.size()) return false;  // fewer than two characters follow
            const int high = hexValue(encoded[i + 1]);
            const int low = hexValue(encoded[i + 2]);
            if (high < 0 || low < 0) return false;
            *out++ = char(high * 16 + low);
            i += 2;
        } else {
            *out++ = c;
        }
    }
    bytes.truncate(out - bytes.constData());
    return true;
}

// decodeWindows1252 into an existing string, keeping its buffer.
void decodeWindows1252Into(QByteArrayView bytes, QString& text) {
    text.resize(bytes.size());
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        out[i] = QChar(windows_1252::character(byte));
    }
}

}  // namespace

QString decodeWindows1252(QByteArrayView bytes) {
    QString text;
    decodeWindows1252Into(bytes, text);
    return text;
}

std::optional<FormError> readForm(QByteArrayView body, const FieldVisitor& onField, qsizetype maxPairBytes) {
    int fieldNumber = 0;
    qsizetype start = 0;
    QByteArray bytes;  // reused from field to field: a large batch allocates once, not per field
    FormField field;
    while (start <= body.size()) {
        qsizetype end = body.indexOf('&', start);
        if (end < 0) end = body.size();
        const QByteArrayView pair = body.sliced(start, end - start);
        start = end + 1;
        if (pair.isEmpty()) continue;
        ++fieldNumber;
        if (maxPairBytes >= 0 && pair.size() > maxPairBytes)
            return FormError{fieldNumber, QStringLiteral("longer than %1 bytes").arg(maxPairBytes), true};
        const qsizetype equals = pair.indexOf('=');
        if (equals < 0) return FormError{fieldNumber, QStringLiteral("no '=' between field name and value")};
        const bool nameDecoded = unescape(pair.first(equals), bytes);
        decodeWindows1252Into(bytes, field.name);
        if (!nameDecoded || !unescape(pair.sliced(equals + 1), bytes))
            return FormError{fieldNumber,
                             QStringLiteral("malformed percent escape (expected %XX with two hex digits)")};
        decodeWindows1252Into(bytes, field.value);
        if (auto refusal = onField(fieldNumber, std::as_const(field))) return FormError{fieldNumber, *refusal};
    }
    return std::nullopt;
}

std::variant<std::vector<FormField>, FormError> decodeForm(QByteArrayView body) {
    std::vector<FormField> fields;
    auto error = readForm(body, [&fields](int, const FormField& field) -> std::optional<QString> {
        fields.push_back(field);
        return std::nullopt;
    });
    if (error) return *error;
    return fields;
}

}  // namespace centeremp::server
