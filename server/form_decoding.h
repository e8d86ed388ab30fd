#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace centeremp::server {

struct FormField {
    QString name;
    QString value;
};

struct FormError {
    int fieldNumber = 0;  // 1-based position of the offending name=value pair
    QString reason;
    bool tooLong = false;  // refused for its length, not for what it says
};

// Reads an application/x-www-form-urlencoded body: '&'-separated name=value pairs, '+' is a
// space, %XX is one byte, and the bytes are Windows-1252 (what the desktop control sends).
// Empty pairs are skipped, since the control ends every body with '&'. Field numbers count the
// non-empty pairs from 1.
//
// Each field is decoded only when it is reached and handed to onField, which may refuse it with
// a reason; reading stops at the first malformed or refused field, so a hostile body costs no
// more than its first bad field. A pair longer than maxPairBytes is refused before decoding.
using FieldVisitor = std::function<std::optional<QString>(int fieldNumber, const FormField& field)>;
inline constexpr qsizetype unlimitedPairBytes = -1;
std::optional<FormError> readForm(QByteArrayView body, const FieldVisitor& onField,
                                  qsizetype maxPairBytes = unlimitedPairBytes);

// Every field at once; for small bodies.
std::variant<std::vector<FormField>, FormError> decodeForm(QByteArrayView body);

// Every byte maps to one character; the five bytes Windows-1252 leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 control with the same value, so no byte is ever lost.
QString decodeWindows1252(QByteArrayView bytes);

}  // namespace centeremp::server
